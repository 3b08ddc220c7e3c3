#include "rawbridge/half_float.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

namespace quillmere::rawbridge {
namespace {

std::uint16_t referenceHalf(float value) {
    return std::bit_cast<std::uint16_t>(static_cast<_Float16>(value));
}

TEST(HalfFloat, MatchesTheCompilersConversionAcrossTheFloatRange) {
    // A prime stride visits every exponent and a spread of mantissas, signs included.
    for (std::uint64_t bits = 0; bits <= 0xffffffffull; bits += 1021) {
        const float value = std::bit_cast<float>(static_cast<std::uint32_t>(bits));
        if (std::isnan(value)) continue;
        ASSERT_EQ(halfFromFloat(value), referenceHalf(value)) << "bits " << std::hex << bits;
    }
}

TEST(HalfFloat, RoundsTiesToEvenAndSaturatesToInfinity) {
    EXPECT_EQ(halfFromFloat(1.0f), kHalfOne);
    EXPECT_EQ(halfFromFloat(-2.0f), 0xc000);
    EXPECT_EQ(halfFromFloat(1.0f + 0x1.0p-11f), 0x3c00);  // tie, even stays
    EXPECT_EQ(halfFromFloat(1.0f + 0x3.0p-11f), 0x3c02);  // tie, odd rounds up
    EXPECT_EQ(halfFromFloat(65504.0f), 0x7bff);
    EXPECT_EQ(halfFromFloat(65520.0f), 0x7c00);
    EXPECT_EQ(halfFromFloat(std::numeric_limits<float>::infinity()), 0x7c00);
    EXPECT_EQ(halfFromFloat(0x1.0p-24f), 0x0001);  // smallest subnormal
    EXPECT_EQ(halfFromFloat(0x1.0p-26f), 0x0000);
    const std::uint16_t nan = halfFromFloat(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(nan & 0x7c00, 0x7c00);
    EXPECT_NE(nan & 0x03ff, 0);
}

}  // namespace
}  // namespace quillmere::rawbridge
