#include "core/render/white_balance.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace quillmere {
namespace {

TEST(PlanckianWhiteTest, FollowsThePublishedLocus) {
    const Chromaticity d65ish = planckianChromaticity(6500);
    EXPECT_NEAR(d65ish.x, 0.3135, 5e-5);
    EXPECT_NEAR(d65ish.y, 0.3237, 5e-5);
    // Both sides of each switch of the polynomials.
    EXPECT_NEAR(planckianChromaticity(2000).x, 0.5267, 5e-4);
    EXPECT_NEAR(planckianChromaticity(2000).y, 0.4133, 5e-4);
    EXPECT_NEAR(planckianChromaticity(3000).x, 0.4369, 5e-4);
    EXPECT_NEAR(planckianChromaticity(3000).y, 0.4041, 5e-4);
    EXPECT_NEAR(planckianChromaticity(10000).x, 0.2807, 5e-4);
    EXPECT_NEAR(planckianChromaticity(10000).y, 0.2884, 5e-4);
    // The pieces meet (nearly) where they switch.
    for (const double kelvin : {2222.0, 4000.0}) {
        const Chromaticity below = planckianChromaticity(kelvin);
        const Chromaticity above = planckianChromaticity(std::nextafter(kelvin, 1e9));
        EXPECT_NEAR(below.x, above.x, 1e-3) << kelvin;
        EXPECT_NEAR(below.y, above.y, 1e-3) << kelvin;
    }
}

TEST(PlanckianWhiteTest, IsBlueWhenHotRedWhenCoolAndNeverBelowTheFloor) {
    const auto hot = planckianWhiteLinearSRGB(15000);
    EXPECT_GT(hot[2], hot[0]);
    const auto cool = planckianWhiteLinearSRGB(2500);
    EXPECT_GT(cool[0], cool[2]);
    EXPECT_EQ(planckianWhiteLinearSRGB(1667)[2], 0.0001) << "no blue left at the bottom end";
    EXPECT_NEAR(0.2126 * hot[0] + 0.7152 * hot[1] + 0.0722 * hot[2], 1.0, 1e-3);
}

TEST(WhiteBalanceGainsTest, AreExactlyOneAtTheAsShotSetting) {
    for (const double kelvin : {1000.0, 3200.0, 5500.0, 50000.0}) {
        const auto gains = whiteBalanceGains(kelvin, 12, kelvin, 12);
        EXPECT_EQ(gains[0], 1.0f);
        EXPECT_EQ(gains[1], 1.0f);
        EXPECT_EQ(gains[2], 1.0f);
    }
}

TEST(WhiteBalanceGainsTest, WarmWithHigherTemperatureAndLowerGreenWithHigherTint) {
    const auto warmer = whiteBalanceGains(7500, 0, 5000, 0);
    EXPECT_GT(warmer[0], 1.0f);
    EXPECT_LT(warmer[2], 1.0f);
    EXPECT_EQ(warmer[1], 1.0f) << "temperature alone leaves green";
    const auto cooler = whiteBalanceGains(3500, 0, 5000, 0);
    EXPECT_LT(cooler[0], 1.0f);
    EXPECT_GT(cooler[2], 1.0f);

    const auto magenta = whiteBalanceGains(5000, 337, 5000, 0);
    EXPECT_FLOAT_EQ(magenta[1], 0.5f) << "337 tint steps are one stop of green";
    EXPECT_EQ(magenta[0], 1.0f);
    EXPECT_EQ(magenta[2], 1.0f);
    EXPECT_FLOAT_EQ(whiteBalanceGains(5000, 10, 5000, 20)[1], std::exp2(10.0f / 337.0f));
}

TEST(WhiteBalanceGainsTest, ClampTemperaturesToTheLocus) {
    const auto below = whiteBalanceGains(1000, 0, 5000, 0);
    const auto atBottom = whiteBalanceGains(1667, 0, 5000, 0);
    const auto above = whiteBalanceGains(60000, 0, 5000, 0);
    const auto atTop = whiteBalanceGains(25000, 0, 5000, 0);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(below[i], atBottom[i]);
        EXPECT_EQ(above[i], atTop[i]);
    }
    const auto asShotAbove = whiteBalanceGains(5000, 0, 40000, 0);
    const auto asShotAtTop = whiteBalanceGains(5000, 0, 25000, 0);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(asShotAbove[i], asShotAtTop[i]);
}

TEST(WhiteBalanceGainsTest, StayFiniteForSettingsThatAreNotNumbers) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double infinity = std::numeric_limits<double>::infinity();
    for (const auto& gains :
         {whiteBalanceGains(nan, 0, 5000, 0), whiteBalanceGains(5000, nan, 5000, 0),
          whiteBalanceGains(5000, infinity, 5000, 0),
          whiteBalanceGains(infinity, -infinity, nan, 3)}) {
        for (const float gain : gains) EXPECT_TRUE(std::isfinite(gain) && gain > 0.0f);
    }
    EXPECT_EQ(whiteBalanceGains(5000, nan, 5000, 0)[1], 1.0f) << "green is left as it is";
}

}  // namespace
}  // namespace quillmere
