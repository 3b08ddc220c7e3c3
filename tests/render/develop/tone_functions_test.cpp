#include "core/render/develop/tone_functions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace quillmere {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

double referenceSRGB(double c) {
    return c <= 0.0031308 ? 12.92 * c : 1.055 * std::pow(c, 1.0 / 2.4) - 0.055;
}

TEST(Shoulder, IdentityBelowTheKneeThenRollsOffTowardsItsLimit) {
    for (float x : {-1.0f, 0.0f, 0.3f, 0.8f}) EXPECT_EQ(shoulder(x), x);
    EXPECT_FLOAT_EQ(shoulder(4.0f), 1.0f);
    // Slope 1 at the knee: a small step above it moves by almost the same step.
    EXPECT_NEAR(shoulder(0.801f) - 0.8f, 0.001f, 1e-5f);
    float previous = shoulder(0.8f);
    for (float x = 0.85f; x < 1000.0f; x *= 1.5f) {
        const float y = shoulder(x);
        EXPECT_GT(y, previous);
        EXPECT_LT(y, 0.8f + 1.0f / 4.6875f);
        previous = y;
    }
}

TEST(SRGBEncode, FollowsTheTransferFunctionOnBothSegments) {
    for (float c : {-0.5f, 0.0f, 0.001f, 0.0031308f, 0.0032f, 0.18f, 0.5f, 1.0f, 3.0f}) {
        EXPECT_NEAR(srgbEncode(c), referenceSRGB(c),
                    2e-6 * std::max(1.0, std::fabs(static_cast<double>(c))));
    }
    EXPECT_NEAR(srgbEncode(1.0f), 1.0f, 1e-6f);
}

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

TEST(DisplayEncoding, RawRollsOffAtFourWhileRasterClipsAtOne) {
    EXPECT_EQ(shoulderEncode(-0.2f), 0.0f);
    EXPECT_EQ(shoulderEncode(kNaN), 0.0f);
    EXPECT_NEAR(shoulderEncode(4.0f), 1.0f, 1e-6f);
    EXPECT_EQ(shoulderEncode(100.0f), 1.0f);
    EXPECT_LT(shoulderEncode(2.0f), 0.995f);
    EXPECT_EQ(shoulderEncode(0.5f), clipEncode(0.5f));

    EXPECT_EQ(clipEncode(1.5f), 1.0f);
    EXPECT_EQ(clipEncode(-1.0f), 0.0f);
    EXPECT_EQ(clipEncode(kNaN), 0.0f);
}

TEST(LutSample, InterpolatesWithinEachChannelAndClampsItsInput) {
    std::vector<float> table(kCurveTableSize);
    for (std::size_t i = 0; i < kCurveTableEntries; ++i) {
        const float x = static_cast<float>(i) / 255.0f;
        table[i] = x;               // rgb: identity
        table[256 + i] = 1.0f - x;  // red: inverted
        table[512 + i] = x * x;     // green
        table[768 + i] = 0.25f;     // blue: constant
    }
    for (float v : {0.0f, 0.1f, 0.5f, 0.77f, 1.0f}) {
        EXPECT_NEAR(lutSample(table.data(), kCurveRGBBase, v), v, 1e-6f);
        EXPECT_NEAR(lutSample(table.data(), kCurveRedBase, v), 1.0f - v, 1e-6f);
        EXPECT_EQ(lutSample(table.data(), kCurveBlueBase, v), 0.25f);
    }
    // Halfway between two entries the result is their mean, not either entry.
    const float halfway = 10.5f / 255.0f;
    EXPECT_NEAR(lutSample(table.data(), kCurveGreenBase, halfway),
                0.5f * (table[512 + 10] + table[512 + 11]), 1e-6f);
    EXPECT_EQ(lutSample(table.data(), kCurveRedBase, -3.0f), 1.0f);
    EXPECT_NEAR(lutSample(table.data(), kCurveRedBase, 7.0f), 0.0f, 1e-6f);
    EXPECT_EQ(lutSample(table.data(), kCurveRedBase, kNaN), 1.0f);
}

TEST(HSV, PrimariesGreysAndRoundTrips) {
    const msl::float3 red = rgb2hsv({1, 0, 0});
    EXPECT_EQ(red, (msl::float3{0, 1, 1}));
    EXPECT_FLOAT_EQ(rgb2hsv({0, 1, 0}).x, 120.0f);
    EXPECT_FLOAT_EQ(rgb2hsv({0, 0, 1}).x, 240.0f);
    EXPECT_FLOAT_EQ(rgb2hsv({1, 0, 1}).x, 300.0f);
    EXPECT_FLOAT_EQ(rgb2hsv({1, 0, 0.25f}).x, 345.0f);  // negative before wrapping
    EXPECT_EQ(rgb2hsv({0.4f, 0.4f, 0.4f}), (msl::float3{0, 0, 0.4f}));
    EXPECT_EQ(rgb2hsv({0, 0, 0}), (msl::float3{0, 0, 0}));
    // Scene values above display white keep their value.
    EXPECT_FLOAT_EQ(rgb2hsv({2.0f, 1.0f, 1.0f}).z, 2.0f);

    for (float r = 0.0f; r <= 1.0f; r += 0.125f) {
        for (float g = 0.0f; g <= 1.0f; g += 0.25f) {
            for (float b = 0.0f; b <= 1.0f; b += 0.375f) {
                const msl::float3 hsv = rgb2hsv({r, g, b});
                EXPECT_GE(hsv.x, 0.0f);
                EXPECT_LT(hsv.x, 360.0f);
                const msl::float3 back = hsv2rgb(hsv.x, hsv.y, hsv.z);
                EXPECT_NEAR(back.x, r, 1e-5f);
                EXPECT_NEAR(back.y, g, 1e-5f);
                EXPECT_NEAR(back.z, b, 1e-5f);
            }
        }
    }
}

TEST(SceneRGB, AppliesGainsAndExposureAndIgnoresTheCleanColourWithoutDenoise) {
    ToneUniforms u;
    u.wbGainR = 2.0f;
    u.wbGainB = 0.5f;
    u.exposure = 1.0f;
    const msl::float3 noisy{0.3f, 0.2f, 0.1f};
    const msl::float3 scene = sceneRGB(noisy, {9, 9, 9}, SceneTransform::from(u));
    EXPECT_FLOAT_EQ(scene.x, 1.2f);
    EXPECT_FLOAT_EQ(scene.y, 0.4f);
    EXPECT_FLOAT_EQ(scene.z, 0.1f);
}

TEST(SceneRGB, DenoiseReturnsLuminanceNoiseLinearlyAndColourNoiseCubed) {
    const msl::float3 clean{0.2f, 0.2f, 0.2f};
    const msl::float3 noisy{0.3f, 0.1f, 0.2f};
    const msl::float3 residual = noisy - clean;
    const float residualY = msl::dot(residual, kRec709Luma);
    ToneUniforms u;

    u.denoiseAmount = 1.0f;
    EXPECT_EQ(sceneRGB(noisy, clean, SceneTransform::from(u)), clean);

    u.denoiseAmount = 0.5f;
    const msl::float3 half = sceneRGB(noisy, clean, SceneTransform::from(u));
    const msl::float3 kept = half - clean;
    // Luminance noise comes back at 1/2, colour noise at 1/8.
    EXPECT_NEAR(msl::dot(kept, kRec709Luma),
                0.5f * residualY + 0.125f * msl::dot(residual - residualY, kRec709Luma), 1e-6f);
    for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(kept[c], 0.5f * residualY + 0.125f * (residual[c] - residualY), 1e-6f);
    }
}

}  // namespace
}  // namespace quillmere
