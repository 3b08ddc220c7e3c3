#include "core/compute/msl_math.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <vector>

namespace quillmere {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInfinity = std::numeric_limits<float>::infinity();

// Distance in representable floats; 0 and -0 are one value.
long long ulpDistance(float a, float b) {
    const auto ordered = [](float f) {
        const auto bits = std::bit_cast<std::int32_t>(f);
        return bits < 0 ? static_cast<std::int64_t>(INT32_MIN) - bits : bits;
    };
    return std::llabs(static_cast<long long>(ordered(a)) - ordered(b));
}

// Whether `actual` is within 1 ulp of the double-precision `reference` rounded to float, NaN
// exactly where the reference is NaN.
::testing::AssertionResult withinOneUlp(float actual, double reference) {
    const float expected = static_cast<float>(reference);
    if (std::isnan(expected) != std::isnan(actual) ||
        (!std::isnan(expected) && ulpDistance(actual, expected) > 1)) {
        return ::testing::AssertionFailure() << actual << " instead of " << expected;
    }
    return ::testing::AssertionSuccess();
}

// Floats over the whole range: every binade from the smallest denormal up, a few mantissas each.
std::vector<float> wideRangeOfPositiveFloats() {
    std::vector<float> values;
    for (int exponent = -149; exponent < 128; ++exponent) {
        for (float mantissa : {1.0f, 1.0000001f, 1.2345678f, 1.41421354f, 1.5f, 1.9999999f}) {
            const float value = std::ldexp(mantissa, exponent);
            if (value > 0.0f && std::isfinite(value)) values.push_back(value);
        }
    }
    return values;
}

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

TEST(MSLMath, Exp2IsWithinOneUlpDownToDenormalsAndOverflowsToInfinity) {
    for (float x = -151.0f; x < 129.0f; x += 0.00731f) {
        EXPECT_TRUE(withinOneUlp(msl::exp2(x), std::exp2(double{x}))) << x;
    }
    for (float x : wideRangeOfPositiveFloats()) {
        EXPECT_TRUE(withinOneUlp(msl::exp2(x), std::exp2(double{x}))) << x;
        EXPECT_TRUE(withinOneUlp(msl::exp2(-x), std::exp2(-double{x}))) << x;
    }
    EXPECT_EQ(msl::exp2(0.0f), 1.0f);
    EXPECT_EQ(msl::exp2(-0.0f), 1.0f);
    EXPECT_EQ(msl::exp2(10.0f), 1024.0f);
    EXPECT_EQ(msl::exp2(-149.0f), 0x1p-149f);
    EXPECT_EQ(msl::exp2(-151.0f), 0.0f);
    EXPECT_EQ(msl::exp2(128.0f), kInfinity);
    EXPECT_EQ(msl::exp2(kInfinity), kInfinity);
    EXPECT_EQ(msl::exp2(-kInfinity), 0.0f);
    EXPECT_TRUE(std::isnan(msl::exp2(kNaN)));
}

TEST(MSLMath, FastLog2AndExp2StayWithinAFewUlpAndKeepThePreciseFormsSpecialValues) {
    // log2: within 1.5e-7 where the result is small, within one ulp of the result elsewhere.
    std::vector<float> arguments = wideRangeOfPositiveFloats();
    for (float x = 0.5f; x < 2.0f; x += 0.000123f) arguments.push_back(x);
    for (float x : arguments) {
        const double exact = std::log2(double{x});
        const double ulp = std::fabs(exact - std::nextafter(static_cast<float>(exact), 0.0f));
        EXPECT_LE(std::fabs(msl::fast::log2(x) - exact), 1.5e-7 + ulp) << x;
    }
    long long worst = 0;
    for (float t = -151.0f; t < 129.0f; t += 0.00731f) {
        worst = std::max(worst,
                         ulpDistance(msl::fast::exp2(t), static_cast<float>(std::exp2(double{t}))));
    }
    EXPECT_LE(worst, 1);
    for (float x : {0.0f, -0.0f, kInfinity, -kInfinity, kNaN, -1.0e-30f, 0x1p-149f, 1.0f, 8.0f,
                    -149.0f, -151.0f, 128.0f, 10.0f}) {
        EXPECT_EQ(ulpDistance(msl::fast::log2(x), msl::log2(x)), 0) << x;
        EXPECT_EQ(ulpDistance(msl::fast::exp2(x), msl::exp2(x)), 0) << x;
    }
}

TEST(MSLMath, PowIsWithinOneUlpAndHasTheCLibrarysSpecialCases) {
    std::vector<float> bases = wideRangeOfPositiveFloats();
    const std::size_t positiveCount = bases.size();
    for (std::size_t i = 0; i < positiveCount; ++i) bases.push_back(-bases[i]);
    for (float special : {0.0f, -0.0f, 1.0f, -1.0f, kInfinity, -kInfinity, kNaN}) {
        bases.push_back(special);
    }
    const float exponents[] = {1.0f / 2.4f, 2.4f,      0.5f,       -0.5f, 1.0f,
                               2.0f,        3.0f,      -3.0f,      0.0f,  -0.0f,
                               7.25f,       -0.01f,    1.0e-7f,    1e6f,  1e6f + 1.0f,
                               16777215.0f, kInfinity, -kInfinity, kNaN};
    for (float x : bases) {
        for (float y : exponents) {
            const float actual = msl::pow(x, y);
            EXPECT_TRUE(withinOneUlp(actual, std::pow(double{x}, double{y}))) << x << " ^ " << y;
            if (actual == 0.0f || std::isinf(actual)) {  // odd powers keep the sign of x
                EXPECT_EQ(std::signbit(actual), std::signbit(std::pow(x, y))) << x << " ^ " << y;
            }
        }
    }
    EXPECT_EQ(msl::pow(4.0f, 0.5f), 2.0f);
    EXPECT_EQ(msl::pow(-2.0f, 3.0f), -8.0f);
    EXPECT_EQ(msl::pow(kNaN, 0.0f), 1.0f);
    EXPECT_EQ(msl::pow(1.0f, kNaN), 1.0f);
    EXPECT_EQ(msl::pow(-1.0f, kInfinity), 1.0f);
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
