#include "core/render/develop/white_balance.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace quillmere {
namespace {

TEST(PlanckianWhiteTest, FollowsThePublishedLocusOnEveryPiece) {
    const Chromaticity d65ish = planckianChromaticity(6500);
    EXPECT_NEAR(d65ish.x, 0.3135, 5e-5);
    EXPECT_NEAR(d65ish.y, 0.3237, 5e-5);
    // The black body's own chromaticities, which the approximation meets within 5e-4.
    EXPECT_NEAR(planckianChromaticity(2000).x, 0.5267, 5e-4);
    EXPECT_NEAR(planckianChromaticity(2000).y, 0.4133, 5e-4);
    EXPECT_NEAR(planckianChromaticity(3000).x, 0.4369, 5e-4);
    EXPECT_NEAR(planckianChromaticity(3000).y, 0.4041, 5e-4);
    EXPECT_NEAR(planckianChromaticity(10000).y, 0.2884, 5e-4);

    const auto white = planckianWhiteLinearSRGB(15000);
    EXPECT_NEAR(0.2126 * white[0] + 0.7152 * white[1] + 0.0722 * white[2], 1.0, 1e-3);
    EXPECT_EQ(planckianWhiteLinearSRGB(1667)[2], 0.0001) << "no blue left at the bottom end";
}

TEST(WhiteBalanceGainsTest, AreOneAtTheAsShotSettingAndWarmOrGreenAwayFromIt) {
    for (const double kelvin : {1000.0, 5500.0, 50000.0}) {
        const auto gains = whiteBalanceGains(kelvin, 12, kelvin, 12);
        EXPECT_TRUE(gains[0] == 1.0f && gains[1] == 1.0f && gains[2] == 1.0f) << kelvin;
    }
    const auto warmer = whiteBalanceGains(7500, 0, 5000, 0);
    EXPECT_GT(warmer[0], 1.0f);
    EXPECT_EQ(warmer[1], 1.0f);
    EXPECT_LT(warmer[2], 1.0f);
    const auto magenta = whiteBalanceGains(5000, 337, 5000, 0);
    EXPECT_FLOAT_EQ(magenta[1], 0.5f) << "337 tint steps are one stop of green";
    EXPECT_EQ(magenta[0], 1.0f);
}

TEST(WhiteBalanceGainsTest, ClampTemperaturesAndStayFinite) {
    const auto below = whiteBalanceGains(1000, 0, 5000, 0),
               bottom = whiteBalanceGains(1667, 0, 5000, 0);
    const auto above = whiteBalanceGains(60000, 0, 5000, 0),
               top = whiteBalanceGains(25000, 0, 5000, 0);
    EXPECT_EQ(below, bottom);
    EXPECT_EQ(above, top);
    EXPECT_EQ(whiteBalanceGains(5000, 0, 40000, 0), whiteBalanceGains(5000, 0, 25000, 0));

    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double infinity = std::numeric_limits<double>::infinity();
    for (const auto& gains :
         {whiteBalanceGains(nan, 0, 5000, 0), whiteBalanceGains(5000, nan, 5000, 0),
          whiteBalanceGains(infinity, -infinity, nan, 3)}) {
        for (const float gain : gains) EXPECT_TRUE(std::isfinite(gain) && gain > 0.0f);
    }
    EXPECT_EQ(whiteBalanceGains(5000, nan, 5000, 0)[1], 1.0f) << "green is left as it is";
}

}  // namespace
}  // namespace quillmere
