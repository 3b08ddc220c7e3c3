#include "core/compute/msl_math.h"

#include <gtest/gtest.h>

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

// Distance in representable floats; 0 and -0 are one value, NaN is only near NaN.
long long ulpDistance(float a, float b) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b) ? 0 : 1LL << 40;
    const auto ordered = [](float f) {
        const auto bits = std::bit_cast<std::int32_t>(f);
        return bits < 0 ? static_cast<std::int64_t>(INT32_MIN) - bits : bits;
    };
    return std::llabs(static_cast<long long>(ordered(a)) - ordered(b));
}

TEST(MSLMath, MinMaxClampIgnoreNaNAndTheShapingFunctionsFollowTheShadingLanguage) {
    EXPECT_EQ(msl::max(kNaN, 0.25f), 0.25f);
    EXPECT_EQ(msl::min(0.25f, kNaN), 0.25f);
    EXPECT_EQ(msl::clamp(kNaN, 0.2f, 0.8f), 0.2f) << "NaN clamps to the lower bound";
    EXPECT_EQ(msl::clamp(kInfinity, 0.2f, 0.8f), 0.8f);
    EXPECT_EQ(msl::saturate(kNaN), 0.0f);
    EXPECT_EQ(msl::smoothstep(0.0f, 1.0f, kNaN), 0.0f);
    EXPECT_EQ(msl::clamp(msl::float3{kNaN, 2.0f, -1.0f}, 0.0f, 1.0f), (msl::float3{0, 1, 0}));

    EXPECT_FLOAT_EQ(msl::smoothstep(0.0f, 1.0f, 0.25f), 0.15625f);
    EXPECT_EQ(msl::mix(2.0f, 6.0f, 0.25f), 3.0f);
    EXPECT_EQ(msl::fract(-0.25f), 0.75f);
    EXPECT_LT(msl::fract(-1.0e-30f), 1.0f) << "never reaches 1";
    EXPECT_EQ(msl::fmod(-7.0f, 3.0f), -1.0f) << "keeps the sign of x";
    EXPECT_EQ(msl::fmod(7.0f, -3.0f), 1.0f);
}

// Each function against the C library in double precision, over its whole range: within its
// allowed ulps, and exact at the special values.
TEST(MSLMath, ExponentialsLogarithmAndPowStayWithinTheirUlpsOfTheCLibrary) {
    std::vector<float> floats = {0.0f, -0.0f, kInfinity, -kInfinity, kNaN, 1.0f, -1.0f};
    for (int exponent = -149; exponent < 128; ++exponent) {
        for (float mantissa : {1.0f, 1.2345678f, 1.41421354f, 1.9999999f}) {
            floats.push_back(std::ldexp(mantissa, exponent));
            floats.push_back(-std::ldexp(mantissa, exponent));
        }
    }
    std::vector<float> arguments = floats;
    for (float x = -160.0f; x < 130.0f; x += 0.00731f) arguments.push_back(x);
    const struct {
        const char* name;
        float (*actual)(float);
        double (*reference)(double);
        long long ulps;
        bool denormalResults;  // exp may flush results near and below the smallest normal
    } functions[] = {
        {"exp", [](float x) { return msl::exp(x); }, [](double x) { return std::exp(x); }, 2,
         false},
        {"exp2", [](float x) { return msl::exp2(x); }, [](double x) { return std::exp2(x); }, 1,
         true},
        {"fast::exp2", [](float x) { return msl::fast::exp2(x); },
         [](double x) { return std::exp2(x); }, 1, true},
    };
    for (const auto& f : functions) {
        for (float x : arguments) {
            const double reference = f.reference(x);
            if (!f.denormalResults && reference > 0.0 && reference < 1e-37) continue;
            ASSERT_LE(ulpDistance(f.actual(x), static_cast<float>(reference)), f.ulps)
                << f.name << "(" << x << ")";
        }
    }
    // log2: within 1.5e-7 where the result is small, within one ulp of the result elsewhere.
    for (float x = 0.5f; x < 2.0f; x += 0.000123f) arguments.push_back(x);
    for (float x : arguments) {
        const double exact = std::log2(double{x});
        if (!(x > 0.0f) || std::isinf(x)) {
            ASSERT_EQ(ulpDistance(msl::fast::log2(x), static_cast<float>(exact)), 0) << x;
            continue;
        }
        const double ulp = std::fabs(exact - std::nextafter(static_cast<float>(exact), 0.0f));
        ASSERT_LE(std::fabs(msl::fast::log2(x) - exact), 1.5e-7 + ulp) << x;
    }

    const float exponents[] = {1.0f / 2.4f, 2.4f, 0.5f, -0.5f, 2.0f, 3.0f, -3.0f, 0.0f, -0.0f,
                               1.0e-7f, 1e6f + 1.0f, 16777215.0f, kInfinity, -kInfinity, kNaN};
    for (float x : floats) {
        for (float y : exponents) {
            const float actual = msl::pow(x, y);
            const double reference = std::pow(double{x}, double{y});
            ASSERT_LE(ulpDistance(actual, static_cast<float>(reference)), 1) << x << " ^ " << y;
            if (actual == 0.0f || std::isinf(actual)) {  // odd powers keep the sign of x
                ASSERT_EQ(std::signbit(actual), std::signbit(reference)) << x << " ^ " << y;
            }
        }
    }
}

TEST(MSLMath, FloatToIntegerConversionSaturatesAndSendsNaNToZero) {
    EXPECT_EQ(msl::saturatingConvert<int>(kNaN), 0);
    EXPECT_EQ(msl::saturatingConvert<int>(-2.9f), -2);
    EXPECT_EQ(msl::saturatingConvert<int>(3.0e9f), std::numeric_limits<int>::max());
    EXPECT_EQ(msl::saturatingConvert<int>(-kInfinity), std::numeric_limits<int>::min());
    EXPECT_EQ(msl::saturatingConvert<int>(2147483520.0f), 2147483520);  // largest float below 2^31
    EXPECT_EQ(msl::saturatingConvert<std::uint32_t>(-0.9f), 0u);
    EXPECT_EQ(msl::saturatingConvert<std::uint8_t>(300.0f), 255);
    EXPECT_EQ(msl::saturatingConvert<std::int16_t>(-40000.0f), -32768);
}

}  // namespace
}  // namespace quillmere
