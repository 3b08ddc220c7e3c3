#include "app/state/color_sampling.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "core/compute/device.h"
#include "tests/fixtures/texture_fixtures.h"

namespace quillmere {
namespace {

using Band = HSLAdjustments::Band;

TEST(ColorSampling, AHueIsSharedByItsTwoBandsAlongASmoothstep) {
    // s = t²(3 − 2t) of the hue's place t between the two centres; after magenta comes red at 360.
    for (auto [hue, lower, upper, s] : {std::tuple(0.0, Band::red, Band::orange, 0.0),
                                        std::tuple(45.0, Band::orange, Band::yellow, 0.5),
                                        std::tuple(300.0, Band::purple, Band::magenta, 7.0 / 27),
                                        std::tuple(355.0, Band::magenta, Band::red, 25.0 / 27)}) {
        const auto shares = ColorSampling::bandShares(hue);
        EXPECT_EQ(std::pair(shares[0].band, shares[1].band), std::pair(lower, upper)) << hue;
        EXPECT_NEAR(shares[0].weight, 1 - s, 1e-12) << hue;
        EXPECT_NEAR(shares[1].weight, s, 1e-12) << hue;
    }
}

// Expected HSB values worked out by hand from the hexcone formulas.
TEST(ColorSampling, ColoursAreLimitedToTheUnitCubeAndHuesWrapIntoOneTurn) {
    const struct {
        double red, green, blue;
        ColorSampling::HSBColor hsb;
    } cases[] = {
        {NAN, 0.5, 2, {.hue = 3.5 / 6, .saturation = 1, .brightness = 1}},  // NaN as 0, 2 as 1
        {1, 0, 0.25, {.hue = 5.75 / 6, .saturation = 1, .brightness = 1}},  // just below red
        {0.5, 0.5, 0.5, {.hue = 0, .saturation = 0, .brightness = 0.5}},    // grey
    };
    for (const auto& c : cases) {
        const ColorSampling::HSBColor hsb = ColorSampling::hsbColor(c.red, c.green, c.blue);
        EXPECT_NEAR(hsb.hue, c.hsb.hue, 1e-12) << c.red << " " << c.green << " " << c.blue;
        EXPECT_NEAR(hsb.saturation, c.hsb.saturation, 1e-12);
        EXPECT_NEAR(hsb.brightness, c.hsb.brightness, 1e-12);
    }
}

TEST(ColorSampling, APointReadsTheTexelUnderItCountingRowsFromTheBottom) {
    const Device device;
    // Row 0, the image's bottom row, is red; row 1 is green.
    const auto texture =
        testing::makeTexture(device, PixelFormat::rgba16Float, 1, 2, [](int, int y) {
            return y == 0 ? msl::float4{1, 0, 0, 1} : msl::float4{0, 1, 0, 1};
        });
    EXPECT_NEAR(ColorSampling::colorAt(*texture, {0.5, 0.25}).hue, 1.0 / 3, 1e-6) << "top";
    EXPECT_EQ(ColorSampling::colorAt(*texture, {0.5, 0.75}).hue, 0) << "bottom";
    EXPECT_EQ(ColorSampling::colorAt(*texture, {0.5, 1.5}).hue, 0) << "kept inside";
}

TEST(ColorSampling, ATargetedAdjustmentMovesTheNamedChannelWithinItsLimits) {
    HSLAdjustments hsl;
    hsl.hue[2] = 1;
    hsl.saturation[2] = 2;
    hsl.luminance[2] = 3;
    EXPECT_EQ(ColorSampling::channelValue(hsl, "Hue", Band::yellow), 1);
    EXPECT_EQ(ColorSampling::channelValue(hsl, "Saturation", Band::yellow), 2);
    EXPECT_EQ(ColorSampling::channelValue(hsl, "Luminance", Band::yellow), 3);
    EXPECT_EQ(ColorSampling::adjustedValue(90, 40, 0.5), 100);
    EXPECT_EQ(ColorSampling::adjustedValue(-90, -40, 0.5), -100);
    EXPECT_EQ(ColorSampling::adjustedValue(10, 40, 0.25), 20);
}

}  // namespace
}  // namespace quillmere
