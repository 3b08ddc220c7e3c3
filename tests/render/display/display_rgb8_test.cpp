#include "core/render/display/display_rgb8.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "tests/fixtures/texture_fixtures.h"

namespace quillmere {
namespace {

const Device& device() {
    static const Device shared;
    return shared;
}

TEST(DisplayRgb8Test, WritesTheTopRowFirstAndABandIsThoseRowsOfTheWholeImage) {
    // Row r of the texture (counted from the bottom) holds the grey r / (height - 1), so the
    // image's first row must be white and its last black; enough rows to be split across threads.
    constexpr int width = 5, height = 300, first = 61, rows = 23;
    const auto texture =
        testing::makeTexture(device(), PixelFormat::rgba32Float, width, height, [](int, int y) {
            const float grey = static_cast<float>(y) / (height - 1);
            return msl::float4{grey, grey, grey, 0.25f};
        });
    const Rgb8Image image = displayRgb8(*texture);
    ASSERT_EQ(image.width, width);
    ASSERT_EQ(image.height, height);
    ASSERT_EQ(image.rgb.size(), static_cast<std::size_t>(width * height * 3));
    for (int row = 0; row < height; ++row) {
        const auto expected = static_cast<std::uint8_t>(
            std::lround(static_cast<double>(height - 1 - row) / (height - 1) * 255.0));
        ASSERT_EQ(image.rgb[static_cast<std::size_t>(row * width * 3)], expected) << row;
    }
    std::vector<std::uint8_t> band(static_cast<std::size_t>(width * rows * 3));
    displayRgb8Rows(*texture, first, rows, band.data());
    EXPECT_TRUE(std::equal(band.begin(), band.end(), image.rgb.begin() + first * width * 3));
}

TEST(DisplayRgb8Test, LimitsEveryChannelToTheDisplayRange) {
    constexpr float nan = std::numeric_limits<float>::quiet_NaN();
    constexpr float infinity = std::numeric_limits<float>::infinity();
    const msl::float4 texels[] = {{-0.5f, 1.5f, nan, 1.0f},
                                  {infinity, -infinity, 100.0f / 255.0f, 1.0f},
                                  {0.4999f / 255.0f, 254.5001f / 255.0f, 1.0f, 1.0f}};
    const auto texture = testing::makeTexture(device(), PixelFormat::rgba32Float, 3, 1,
                                              [&](int x, int) { return texels[x]; });
    const Rgb8Image image = displayRgb8(*texture);
    const std::vector<std::uint8_t> expected{0, 255, 0, 255, 0, 100, 0, 255, 255};
    EXPECT_EQ(image.rgb, expected);
}

}  // namespace
}  // namespace quillmere
