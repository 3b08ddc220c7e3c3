#include "core/compute/msl_math.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>

namespace quillmere {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInfinity = std::numeric_limits<float>::infinity();

TEST(MSLMath, MaxMinAndClampIgnoreNaNOperandsAsTheGPUDoes) {
    EXPECT_EQ(msl::max(kNaN, 0.25f), 0.25f);
    EXPECT_EQ(msl::max(0.25f, kNaN), 0.25f);
    EXPECT_EQ(msl::min(kNaN, 0.25f), 0.25f);
    EXPECT_EQ(msl::min(0.25f, kNaN), 0.25f);
    EXPECT_EQ(msl::clamp(kNaN, 0.2f, 0.8f), 0.2f) << "NaN clamps to the lower bound";
    EXPECT_EQ(msl::clamp(-kInfinity, 0.2f, 0.8f), 0.2f);
    EXPECT_EQ(msl::clamp(kInfinity, 0.2f, 0.8f), 0.8f);
    EXPECT_EQ(msl::saturate(kNaN), 0.0f);
    EXPECT_EQ(msl::smoothstep(0.0f, 1.0f, kNaN), 0.0f);

    const msl::float3 clamped = msl::clamp(msl::float3{kNaN, 2.0f, -1.0f}, 0.0f, 1.0f);
    EXPECT_EQ(clamped, (msl::float3{0.0f, 1.0f, 0.0f}));
    EXPECT_EQ(msl::max(msl::float3{kNaN, 0.5f, -2.0f}, 0.0f), (msl::float3{0.0f, 0.5f, 0.0f}));
}

TEST(MSLMath, MaxAndMinGiveTheCLibrarysBitsForEveryPairOfSpecialValues) {
    const float values[] = {kNaN, -kNaN, kInfinity, -kInfinity, 0.0f, -0.0f, 1.0f, -1.0f, 1e-45f,
                            3.5f};
    for (float a : values) {
        for (float b : values) {
            EXPECT_EQ(std::bit_cast<std::uint32_t>(msl::max(a, b)),
                      std::bit_cast<std::uint32_t>(std::fmax(a, b)))
                << a << " " << b;
            EXPECT_EQ(std::bit_cast<std::uint32_t>(msl::min(a, b)),
                      std::bit_cast<std::uint32_t>(std::fmin(a, b)))
                << a << " " << b;
        }
    }
}

TEST(MSLMath, SmoothstepMixFractAndFmodFollowTheShadingLanguage) {
    EXPECT_EQ(msl::smoothstep(0.72f, 1.0f, 0.72f), 0.0f);
    EXPECT_EQ(msl::smoothstep(0.72f, 1.0f, 1.0f), 1.0f);
    EXPECT_FLOAT_EQ(msl::smoothstep(0.0f, 2.0f, 1.0f), 0.5f);
    EXPECT_FLOAT_EQ(msl::smoothstep(0.0f, 1.0f, 0.25f), 0.15625f);
    EXPECT_EQ(msl::mix(2.0f, 6.0f, 0.25f), 3.0f);
    EXPECT_EQ(msl::mix(msl::float3{0, 1, 2}, msl::float3{4, 5, 6}, 0.5f), (msl::float3{2, 3, 4}));

    EXPECT_EQ(msl::fract(-0.25f), 0.75f);
    EXPECT_LT(msl::fract(-1.0e-30f), 1.0f) << "never reaches 1";
    EXPECT_EQ(msl::fmod(-7.0f, 3.0f), -1.0f) << "keeps the sign of x";
    EXPECT_EQ(msl::fmod(7.0f, -3.0f), 1.0f);
    EXPECT_EQ(msl::fmod(400.0f, 360.0f), 40.0f);
}

TEST(MSLMath, ExpIsWithinTwoUlpAndHandlesTheEndsOfItsRange) {
    const auto ulpDistance = [](float a, float b) {
        const auto ordered = [](float f) {
            const auto bits = std::bit_cast<std::int32_t>(f);
            return bits < 0 ? static_cast<std::int64_t>(INT32_MIN) - bits : bits;
        };
        return std::llabs(static_cast<long long>(ordered(a)) - ordered(b));
    };
    long long worst = 0;
    for (float x = -86.0f; x < 88.5f; x += 0.0037f) {
        worst = std::max(worst, ulpDistance(msl::exp(x), static_cast<float>(std::exp(double{x}))));
    }
    EXPECT_LE(worst, 2);
    EXPECT_EQ(msl::exp(0.0f), 1.0f);
    EXPECT_EQ(msl::exp(-1000.0f), 0.0f);
    EXPECT_EQ(msl::exp(-kInfinity), 0.0f);
    EXPECT_EQ(msl::exp(89.0f), kInfinity);
    EXPECT_EQ(msl::exp(kInfinity), kInfinity);
    EXPECT_TRUE(std::isnan(msl::exp(kNaN)));
}

TEST(MSLMath, FloatToIntegerConversionSaturatesAndSendsNaNToZero) {
    EXPECT_EQ(msl::saturatingConvert<int>(kNaN), 0);
    EXPECT_EQ(msl::saturatingConvert<int>(2.9f), 2);
    EXPECT_EQ(msl::saturatingConvert<int>(-2.9f), -2);
    EXPECT_EQ(msl::saturatingConvert<int>(3.0e9f), std::numeric_limits<int>::max());
    EXPECT_EQ(msl::saturatingConvert<int>(-3.0e9f), std::numeric_limits<int>::min());
    EXPECT_EQ(msl::saturatingConvert<int>(kInfinity), std::numeric_limits<int>::max());
    EXPECT_EQ(msl::saturatingConvert<int>(2147483520.0f), 2147483520);  // largest float below 2^31

    EXPECT_EQ(msl::saturatingConvert<std::uint32_t>(-0.9f), 0u);
    EXPECT_EQ(msl::saturatingConvert<std::uint32_t>(-5.0f), 0u);
    EXPECT_EQ(msl::saturatingConvert<std::uint32_t>(5.0e9f),
              std::numeric_limits<std::uint32_t>::max());
    EXPECT_EQ(msl::saturatingConvert<std::uint8_t>(255.9f), 255);
    EXPECT_EQ(msl::saturatingConvert<std::uint8_t>(300.0f), 255);
    EXPECT_EQ(msl::saturatingConvert<std::int16_t>(-40000.0f), -32768);
}

}  // namespace
}  // namespace quillmere
