#include "reader/jobs/raster_budget.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/fixtures/test_profiles.h"

namespace quillmere {
namespace {

using reader::raster_budget::Budget;

// A JPEG (4:2:0, one scan) and a HEIF file (one picture) of `side` × `side` pixels described by
// `profile`.
JpegClaim jpegClaim(std::int64_t side, const std::string& profile) {
    const std::uint64_t blocks = static_cast<std::uint64_t>(side * side) * 6 / 256;
    return {side, side, 3, false, blocks, blocks, profile};
}
HeifClaim heifClaim(std::int64_t side, const std::string& profile) {
    return {side, side, 8, false, 1, static_cast<std::uint64_t>(side * side),
            static_cast<std::uint64_t>(side * side / 2), profile};
}

// A photo whose profile LittleCMS converts pixel by pixel is ended, whatever the profile costs,
// within 0.25 s of processor time at 64 × 64 pixels and 2 s at 1024 × 1024; every budget holds
// the answer's pixels besides what the work needs.
TEST(RasterBudget, APhotoConvertedPixelByPixelEndsWithinTwoSecondsAtAMegapixel) {
    const std::string costly = fixtures::costlyRgbProfile();
    for (const std::int64_t side : {64, 1024}) {
        SCOPED_TRACE(side);
        const std::chrono::milliseconds most(side == 64 ? 250 : 2000);
        const auto pixelBytes = static_cast<std::uint64_t>(side * side) * 8;
        const Budget budgets[] = {
            reader::raster_budget::ofJpegImage(jpegClaim(side, costly), 1, IccConversion::perPixel),
            reader::raster_budget::ofHeifImage(heifClaim(side, costly), IccConversion::perPixel),
        };
        for (const Budget& budget : budgets) {
            EXPECT_LE(budget.processorTime, most);
            EXPECT_GT(budget.memoryBytes, pixelBytes);
        }
        EXPECT_LE(reader::raster_budget::ofJpegThumbnail(jpegClaim(side, costly), side / 8, side / 8,
                                                         IccConversion::perPixel)
                      .processorTime,
                  most);
    }
    // The largest photo the program reads: its answer alone is 2 GiB.
    const std::int64_t side = 16384;
    const auto pixelBytes = static_cast<std::uint64_t>(side * side) * 8;
    EXPECT_GT(reader::raster_budget::ofJpegImage(jpegClaim(side, ""), 1, IccConversion::tables)
                  .memoryBytes,
              pixelBytes);
    EXPECT_GT(reader::raster_budget::ofHeifImage(heifClaim(side, ""), IccConversion::tables)
                  .memoryBytes,
              pixelBytes);
}

}  // namespace
}  // namespace quillmere
