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
    // A prime stride visits every exponent and a spread of mantissas, signs included, and some
    // 500 exact ties between two halves.
    for (std::uint64_t bits = 0; bits <= 0xffffffffull; bits += 1021) {
        const float value = std::bit_cast<float>(static_cast<std::uint32_t>(bits));
        if (std::isnan(value)) continue;
        ASSERT_EQ(halfFromFloat(value), referenceHalf(value)) << "bits " << std::hex << bits;
    }
}

TEST(HalfFloat, NaNStaysNaN) {
    const std::uint16_t nan = halfFromFloat(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(nan & 0x7c00, 0x7c00);
    EXPECT_NE(nan & 0x03ff, 0);
}

}  // namespace
}  // namespace quillmere::rawbridge
