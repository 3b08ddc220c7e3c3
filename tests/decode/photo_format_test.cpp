#include "core/decode/photo_format.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace quillmere {
namespace {

TEST(PhotoFormat, TablesHoldExactlyTheKnownExtensions) {
    const PhotoFormat::ExtensionSet raw{
        "3fr", "ari", "arw", "bay", "cap", "cr2", "cr3", "crw", "dcr", "dcs", "dng", "drf", "eip",
        "erf", "fff", "gpr", "iiq", "k25", "kdc", "mdc", "mef", "mos", "mrw", "nef", "nrw", "orf",
        "pef", "ptx", "pxn", "r3d", "raf", "raw", "rwl", "rw2", "rwz", "sr2", "srf", "srw", "x3f"};
    EXPECT_EQ(raw.size(), 39u);
    EXPECT_EQ(PhotoFormat::rawExtensions(), raw);
    EXPECT_EQ(PhotoFormat::rasterExtensions(),
              (PhotoFormat::ExtensionSet{"jpg", "jpeg", "heic", "heif"}));

    const auto& supported = PhotoFormat::supportedExtensions();
    EXPECT_EQ(supported.size(), 43u);
    EXPECT_TRUE(std::includes(supported.begin(), supported.end(), raw.begin(), raw.end()));
    EXPECT_TRUE(supported.contains("heif"));
}

TEST(PhotoFormat, ExtensionCaseDoesNotMatter) {
    EXPECT_TRUE(PhotoFormat::isRAW("/photos/DSC_0001.NEF"));
    EXPECT_TRUE(PhotoFormat::isRAW("/photos/IMG_0001.Cr2"));
    EXPECT_TRUE(PhotoFormat::isRaster("/photos/IMG_0001.HEIC"));
    EXPECT_TRUE(PhotoFormat::isRaster("/photos/scan.JPEG"));
    // Full Unicode lower-casing: the Kelvin sign lower-cases to an ASCII "k".
    EXPECT_TRUE(PhotoFormat::isRAW("/photos/old.\u212A25"));
}

TEST(PhotoFormat, NamesOutsideBothTablesAreNeitherRawNorRaster) {
    for (const char* name :
         {"/photos/README", "/photos/scan.tif", "/photos/icon.png", "/photos/archive.tar.gz",
          "/photos/.dng", "/photos/photo.", "/photos.dng/photo", "/photos/photo.dng~"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(PhotoFormat::isRAW(name));
        EXPECT_FALSE(PhotoFormat::isRaster(name));
    }
    EXPECT_FALSE(PhotoFormat::supportedExtensions().contains("tif"));
    EXPECT_FALSE(PhotoFormat::supportedExtensions().contains("gz"));
    EXPECT_FALSE(PhotoFormat::supportedExtensions().contains(""));
}

TEST(PhotoFormat, OnlyTheLastExtensionCounts) {
    EXPECT_TRUE(PhotoFormat::isRAW("/photos/a.jpg.dng"));
    EXPECT_FALSE(PhotoFormat::isRaster("/photos/a.jpg.dng"));
    EXPECT_TRUE(PhotoFormat::isRaster("/photos/a.dng.jpg"));
    EXPECT_FALSE(PhotoFormat::isRAW("/photos/a.dng.jpg"));
}

TEST(PhotoFormat, DngIsRawAndHeifIsRaster) {
    EXPECT_TRUE(PhotoFormat::isRAW("proraw.dng"));
    EXPECT_FALSE(PhotoFormat::isRaster("proraw.dng"));
    EXPECT_TRUE(PhotoFormat::isRaster("a.heif"));
    EXPECT_TRUE(PhotoFormat::isRaster("a.heic"));
    EXPECT_FALSE(PhotoFormat::isRAW("a.heif"));
}

}  // namespace
}  // namespace quillmere
