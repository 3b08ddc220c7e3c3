#include <gtest/gtest.h>
#include <exiv2/exiv2.hpp>

#include <filesystem>
#include <string>

#include "core/imageio/exiv2_image.h"
#include "core/imageio/exiv2_lock.h"

namespace quillmere {
namespace {

// Every real photo keeps every tag Exiv2 read from it before the check: the check lets each
// through, and Exiv2 then reads the same entries.
TEST(MetadataCheck, RealPhotosKeepEveryTag) {
    const std::filesystem::path data = QUILLMERE_TEST_DATA_DIR;
    for (const char* name : {"exiftool_CanonRaw.cr2", "exiftool_CanonRaw.crw", "exiftool_DNG.dng",
                             "exiv2_IMG_1361.dng", "tinydng_colorchart.dng",
                             "exiftool_FujiFilm.raf", "exiftool_Nikon.nef"}) {
        SCOPED_TRACE(name);
        Exiv2Lock lock;
        Exiv2::Image::AutoPtr unchecked = Exiv2::ImageFactory::open((data / name).string());
        unchecked->readMetadata();
        Exiv2::Image::AutoPtr checked;
        ASSERT_NO_THROW(checked = exiv2_image::read(data / name));
        EXPECT_GT(unchecked->exifData().count(), 50);
        EXPECT_EQ(checked->exifData().count(), unchecked->exifData().count());
        EXPECT_EQ(checked->xmpData().count(), unchecked->xmpData().count());
        EXPECT_EQ(checked->iptcData().count(), unchecked->iptcData().count());
    }
}

}  // namespace
}  // namespace quillmere
