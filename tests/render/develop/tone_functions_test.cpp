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

TEST(SRGBEncode, PowerIsWithinTwoTenMillionthsOverEveryBinadeAndKeepsSpecialValues) {
    // Every 4099th float from the curve's threshold to 2^60.
    const auto first = std::bit_cast<std::uint32_t>(0.0031308f);
    const auto last = std::bit_cast<std::uint32_t>(0x1p60f);
    double worst = 0;
    for (std::uint32_t bits = first; bits < last; bits += 4099) {
        const float c = std::bit_cast<float>(bits);
        const double exact = std::pow(static_cast<double>(c), 1.0 / 2.4);
        worst = std::max(worst, std::fabs(srgbPower(c) - exact) / exact);
    }
    EXPECT_LT(worst, 2e-7);
    EXPECT_EQ(srgbEncode(std::numeric_limits<float>::infinity()),
              std::numeric_limits<float>::infinity());
    EXPECT_TRUE(std::isnan(srgbEncode(kNaN)));
}


}  // namespace
}  // namespace quillmere
