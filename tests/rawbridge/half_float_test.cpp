#include "rawbridge/half_float.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>

namespace quillmere::rawbridge {
namespace {

std::uint16_t referenceHalf(float value) {
    return std::bit_cast<std::uint16_t>(static_cast<_Float16>(value));
}

TEST(HalfFloat, MatchesTheCompilersConversionAcrossTheFloatRange) {
    // A prime stride visits every exponent and a spread of mantissas, signs included, some 500
    // exact ties between two halves and NaNs of many payloads, which must stay NaNs.
    for (std::uint64_t bits = 0; bits <= 0xffffffffull; bits += 1021) {
        const float value = std::bit_cast<float>(static_cast<std::uint32_t>(bits));
        const std::uint16_t half = halfFromFloat(value);
        if (std::isnan(value)) {
            ASSERT_GT(half & 0x7fff, 0x7c00) << "bits " << std::hex << bits;
        } else {
            ASSERT_EQ(half, referenceHalf(value)) << "bits " << std::hex << bits;
        }
    }
}

}  // namespace
}  // namespace quillmere::rawbridge
