#include "core/compute/half_float.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace quillmere {
namespace {

// The compiler's own binary16 type is the independent reference for every non-NaN value.
std::uint16_t referenceHalf(float value) {
    return std::bit_cast<std::uint16_t>(static_cast<_Float16>(value));
}
float referenceFloat(std::uint16_t half) {
    return static_cast<float>(std::bit_cast<_Float16>(half));
}

TEST(HalfFloat, EveryHalfWidensExactlyAndTheRowConversionAgreesBitForBit) {
    std::vector<std::uint16_t> halves(65536);
    for (std::uint32_t h = 0; h < 65536; ++h) halves[h] = static_cast<std::uint16_t>(h);
    std::vector<float> widened(halves.size());
    convertHalfToFloat(halves, widened);
    for (std::uint32_t h = 0; h < 65536; ++h) {
        const auto half = static_cast<std::uint16_t>(h);
        const float scalar = halfToFloat(half);
        ASSERT_EQ(std::bit_cast<std::uint32_t>(scalar), std::bit_cast<std::uint32_t>(widened[h]))
            << std::hex << h;
        if (std::isnan(scalar)) {
            ASSERT_TRUE(std::isnan(referenceFloat(half))) << std::hex << h;
            ASSERT_EQ(std::signbit(scalar), (h & 0x8000u) != 0);
        } else {
            ASSERT_EQ(std::bit_cast<std::uint32_t>(scalar),
                      std::bit_cast<std::uint32_t>(referenceFloat(half)))
                << std::hex << h;
            ASSERT_EQ(floatToHalf(scalar), half) << "round trip of " << std::hex << h;
        }
    }
}

TEST(HalfFloat, NarrowingMatchesTheCompilersConversionAndKeepsNaNs) {
    // A prime stride visits every exponent and a spread of mantissas, signs included, and some
    // 500 exact ties between two halves.
    for (std::uint64_t bits = 0; bits <= 0xffffffffull; bits += 1021) {
        const float value = std::bit_cast<float>(static_cast<std::uint32_t>(bits));
        if (std::isnan(value)) continue;
        ASSERT_EQ(floatToHalf(value), referenceHalf(value)) << std::hex << bits;
    }
    const std::uint16_t nan = floatToHalf(-std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(nan & 0xfe00, 0xfe00) << "a negative quiet NaN";
    const std::uint16_t signalling = floatToHalf(std::bit_cast<float>(0x7f800001u));
    EXPECT_EQ(signalling, 0x7e00) << "a NaN whose payload lies below the half's stays a NaN";
}

}  // namespace
}  // namespace quillmere
