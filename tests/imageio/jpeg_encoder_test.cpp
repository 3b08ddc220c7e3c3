#include "core/imageio/jpeg/jpeg_encoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

#include "tests/fixtures/test_pattern.h"
#include "tests/imageio/imageio_test_support.h"

namespace quillmere {
namespace {

using Code = ImageIOError::Code;
using testing_support::errorCodeOf;

TEST(JpegEncoder, QualityIsLimitedToZeroToOne) {
    const Rgb8Image image = fixtures::makePattern({});
    const std::string best = encodeJpeg(image, 1.0);
    const std::string worst = encodeJpeg(image, 0.0);
    EXPECT_NE(best, worst);
    EXPECT_NE(best, encodeJpeg(image, 0.5));
    for (double beyond :
         {1.7, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
        EXPECT_EQ(encodeJpeg(image, beyond), best) << beyond;
    }
    EXPECT_EQ(encodeJpeg(image, -0.3), worst);
    // Quality 1 is libjpeg's 100: every entry of the first quantisation table is 1.
    const std::size_t table = best.find("\xff\xdb");
    ASSERT_NE(table, std::string::npos);
    for (std::size_t entry = table + 5; entry < table + 5 + 64; ++entry) {
        EXPECT_EQ(best[entry], 1) << entry - table - 5;
    }
}

TEST(JpegEncoder, TakesTheImageBandByBandInRowOrder) {
    const Rgb8Image image = fixtures::makePattern({.width = 40, .height = 150, .markerSize = 5});
    const std::size_t rowBytes = static_cast<std::size_t>(image.width) * 3;
    int nextRow = 0;
    const std::string banded = encodeJpeg(
        image.width, image.height,
        [&](int first, int rows, std::uint8_t* rgb) {
            EXPECT_EQ(first, nextRow);
            EXPECT_GT(rows, 0);
            nextRow = first + rows;
            std::copy_n(image.rgb.data() + static_cast<std::size_t>(first) * rowBytes,
                        static_cast<std::size_t>(rows) * rowBytes, rgb);
        },
        0.9);
    EXPECT_EQ(nextRow, image.height);
    EXPECT_EQ(banded, encodeJpeg(image, 0.9));
}

TEST(JpegEncoder, RefusesImagesItCannotWrite) {
    EXPECT_EQ(errorCodeOf([] { encodeJpeg(Rgb8Image{}, 0.9); }), Code::encodingFailed);
    Rgb8Image mismatched{.width = 4, .height = 4, .rgb = std::vector<std::uint8_t>(10)};
    EXPECT_EQ(errorCodeOf([&] { encodeJpeg(mismatched, 0.9); }), Code::encodingFailed);
    Rgb8Image tooWide{.width = 70000, .height = 1, .rgb = std::vector<std::uint8_t>(210000)};
    EXPECT_EQ(errorCodeOf([&] { encodeJpeg(tooWide, 0.9); }), Code::encodingFailed);
}

}  // namespace
}  // namespace quillmere
