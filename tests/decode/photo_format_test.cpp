#include "core/decode/photo_format.h"

#include <gtest/gtest.h>

namespace quillmere {
namespace {

TEST(PhotoFormat, OnlyTheLastExtensionCountsInAnyCase) {
    enum Kind { raw, raster, neither };
    const std::pair<const char*, Kind> names[] = {
        {"DSC_0001.NEF", raw},       {"IMG_0001.Cr2", raw},        {"a.jpg.dng", raw},
        {"old.\u212A25", raw},       {"IMG_0001.HEIC", raster},    {"scan.JPEG", raster},
        {"a.dng.jpg", raster},       {"a.heif", raster},           {"/photos/scan.tif", neither},
        {"/photos/README", neither}, {"/photos/.dng", neither},    {"/photos/photo.", neither},
        {"/photos.dng/photo", neither}, {"/photos/photo.dng~", neither},
    };
    for (const auto& [name, kind] : names) {
        EXPECT_EQ(PhotoFormat::isRAW(name), kind == raw) << name;
        EXPECT_EQ(PhotoFormat::isRaster(name), kind == raster) << name;
    }
}

}  // namespace
}  // namespace quillmere
