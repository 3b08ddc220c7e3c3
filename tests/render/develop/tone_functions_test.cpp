#include "core/render/develop/tone_functions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

namespace quillmere {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

TEST(SRGBEncode, PowerIsWithinAQuarterMillionthOverEveryBinadeAndKeepsSpecialValues) {
    // Every 4099th float from the curve's threshold to 2^60, eight at a time.
    const auto first = std::bit_cast<std::uint32_t>(0.0031308f);
    const auto last = std::bit_cast<std::uint32_t>(0x1p60f);
    double worst = 0;
    for (std::uint32_t bits = first; bits < last; bits += 8 * 4099) {
        lanes::Floats c;
        for (int lane = 0; lane < lanes::kCount; ++lane)
            c[lane] = std::bit_cast<float>(bits + static_cast<std::uint32_t>(lane) * 4099);
        const lanes::Floats power = srgb::power(c);
        for (int lane = 0; lane < lanes::kCount; ++lane) {
            const double exact = std::pow(static_cast<double>(c[lane]), 1.0 / 2.4);
            worst = std::max(worst, std::fabs(power[lane] - exact) / exact);
        }
    }
    EXPECT_LT(worst, 2.5e-7);
    const lanes::Floats special = srgb::encode(
        lanes::Floats{std::numeric_limits<float>::infinity(), kNaN, -0.0f, 0.5f, 0, 0, 0, 0});
    EXPECT_EQ(special[0], std::numeric_limits<float>::infinity());
    EXPECT_TRUE(std::isnan(special[1]));
    EXPECT_TRUE(std::signbit(special[2]) && special[2] == 0.0f);
    EXPECT_NEAR(special[3], 1.055 * std::pow(0.5, 1.0 / 2.4) - 0.055, 1e-6);
    // Raster photos: the encoding of max(c, 0), clamped to display range.
    const lanes::Floats clipped =
        srgb::clipEncode(lanes::Floats{kNaN, -1, 2, std::numeric_limits<float>::infinity()});
    EXPECT_EQ(clipped[0], 0.0f);
    EXPECT_EQ(clipped[1], 0.0f);
    EXPECT_EQ(clipped[2], 1.0f);
    EXPECT_EQ(clipped[3], 1.0f);
}

}  // namespace
}  // namespace quillmere
