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

TEST(HalfFloat, NarrowingRoundsToNearestEvenAndOverflowsToInfinity) {
    EXPECT_EQ(floatToHalf(1.0f + 0x1p-11f), 0x3c00);      // tie between 1 and 1 + 2^-10: even
    EXPECT_EQ(floatToHalf(1.0f + 3 * 0x1p-11f), 0x3c02);  // tie: up to the even mantissa
    EXPECT_EQ(floatToHalf(1.0f + 0x1p-11f + 0x1p-20f), 0x3c01);  // just above the tie
    EXPECT_EQ(floatToHalf(0x1p-25f), 0x0000);      // half the smallest subnormal: ties to zero
    EXPECT_EQ(floatToHalf(3 * 0x1p-25f), 0x0002);  // 1.5 subnormal steps: ties to even
    EXPECT_EQ(floatToHalf(0x1p-14f - 0x1p-26f), 0x0400);  // rounds up into the normal range
    EXPECT_EQ(floatToHalf(65504.0f), 0x7bff);
    EXPECT_EQ(floatToHalf(65519.996f), 0x7bff);  // below the midpoint to 65536
    EXPECT_EQ(floatToHalf(65520.0f), 0x7c00);    // the midpoint rounds to even: infinity
    EXPECT_EQ(floatToHalf(-1.0e10f), 0xfc00);
    EXPECT_EQ(floatToHalf(std::numeric_limits<float>::infinity()), 0x7c00);
    EXPECT_EQ(floatToHalf(-0.0f), 0x8000);
    const std::uint16_t nan = floatToHalf(-std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(nan & 0xfe00, 0xfe00) << "a negative quiet NaN";
    const std::uint16_t signalling = floatToHalf(std::bit_cast<float>(0x7f800001u));
    EXPECT_EQ(signalling, 0x7e00) << "a NaN whose payload lies below the half's stays a NaN";
}

}  // namespace
}  // namespace quillmere
