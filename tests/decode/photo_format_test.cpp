#include "core/decode/photo_format.h"

#include <gtest/gtest.h>

namespace quillmere {
namespace {

TEST(PhotoFormat, OnlyTheLastExtensionCountsInAnyCase) {
    for (const char* name : {"DSC_0001.NEF", "IMG_0001.Cr2", "a.jpg.dng", "old.\u212A25"}) {
        EXPECT_TRUE(PhotoFormat::isRAW(name)) << name;
        EXPECT_FALSE(PhotoFormat::isRaster(name)) << name;
    }
    for (const char* name : {"IMG_0001.HEIC", "scan.JPEG", "a.dng.jpg", "a.heif"}) {
        EXPECT_TRUE(PhotoFormat::isRaster(name)) << name;
        EXPECT_FALSE(PhotoFormat::isRAW(name)) << name;
    }
}

TEST(PhotoFormat, OtherNamesAreNeitherRawNorRaster) {
    for (const char* name :
         {"/photos/README", "/photos/scan.tif", "/photos/icon.png", "/photos/archive.tar.gz",
          "/photos/.dng", "/photos/photo.", "/photos.dng/photo", "/photos/photo.dng~"}) {
        EXPECT_FALSE(PhotoFormat::isRAW(name)) << name;
        EXPECT_FALSE(PhotoFormat::isRaster(name)) << name;
    }
}

}  // namespace
}  // namespace quillmere
