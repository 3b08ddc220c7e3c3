#include "core/render/develop/white_balance.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace quillmere {
namespace {

// Gains from the Planckian locus of Kim et al. and the sRGB matrix, computed with
// scripts/reference-values: equal settings give 1, temperatures are held within 1667...25000 K,
// and 337 tint steps are one stop of green.
TEST(WhiteBalanceGainsTest, FollowTheLocusAndTheTint) {
    struct Case {
        double temperature, tint, asShotTemperature, asShotTint;
        std::array<float, 3> gains;
    };
    const Case cases[] = {
        {5500, 0, 5500, 0, {1.0f, 1.0f, 1.0f}},
        {7500, 0, 5000, 0, {1.2825093f, 1.0f, 0.66831139f}},
        {3000, 0, 5500, 0, {0.56320758f, 1.0f, 2.7543908f}},
        {5000, 337, 5000, 0, {1.0f, 0.5f, 1.0f}},
        {5000, -40, 5000, 12, {1.0f, 1.1128836f, 1.0f}},
        {2100, 0, 5000, 0, {0.35397589f, 1.0f, 12.728521f}},
        {3500, 10, 6500, -5, {0.60496869f, 0.96961883f, 2.3187669f}},
        {4000, 0, 5000, 0, {0.82387538f, 1.0f, 1.3753211f}},
        {12000, 0, 5000, 0, {1.51685f, 1.0f, 0.50386277f}},
        {1000, 0, 5000, 0, {0.22176102f, 1.0f, 4136.9101f}},
        {60000, 0, 5000, 0, {1.7131508f, 1.0f, 0.40685595f}},
        {5000, 0, 40000, 0, {0.58371977f, 1.0f, 2.4578724f}},
    };
    for (const Case& c : cases) {
        const auto gains =
            whiteBalanceGains(c.temperature, c.tint, c.asShotTemperature, c.asShotTint);
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(gains[i], c.gains[i], 2e-6f * c.gains[i])
                << c.temperature << " " << c.tint << " from " << c.asShotTemperature << " " << i;
        }
    }
}

TEST(WhiteBalanceGainsTest, StayFiniteAndPositive) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double infinity = std::numeric_limits<double>::infinity();
    for (const auto& gains :
         {whiteBalanceGains(nan, 0, 5000, 0), whiteBalanceGains(5000, nan, 5000, 0),
          whiteBalanceGains(infinity, -infinity, nan, 3)}) {
        for (const float gain : gains) EXPECT_TRUE(std::isfinite(gain) && gain > 0.0f);
    }
}

}  // namespace
}  // namespace quillmere
