#include "app/state/color_sampling.h"

#include <gtest/gtest.h>

#include <tuple>

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

}  // namespace
}  // namespace quillmere
