#include "core/render/develop/recovery_functions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace quillmere {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

RecoverySettings settings(float highlights, float shadows, float whites = 0, float blacks = 0,
                          float whiteEV = kRecoveryPivot) {
    ToneUniforms u;
    u.highlights = highlights;
    u.shadows = shadows;
    u.whites = whites;
    u.blacks = blacks;
    return RecoverySettings::from(u, whiteEV);
}

// How far recovery moves a pixel at `ev`, in EV.
float movement(float ev, float base, float textureMask, const RecoverySettings& s) {
    return recoveredEV(ev, base, textureMask, s) - ev;
}

TEST(RecoveryShaping, WeightRisesFromZeroAndRangeWeightEndsAtThreeEV) {
    EXPECT_EQ(recoveryWeight(0.0f, 2.0f), 0.0f);
    EXPECT_EQ(recoveryWeight(-4.0f, 2.0f), 0.0f);
    EXPECT_NEAR(recoveryWeight(60.0f, 2.0f), 1.0f, 1e-6f);
    for (float d = 0.0f; d < 20.0f; d += 0.25f) {
        const float slope = (recoveryWeight(d + 0.001f, 2.0f) - recoveryWeight(d, 2.0f)) / 0.001f;
        EXPECT_LE(slope, 1.0f / (2.0f * 2.0f) + 1e-3f);
    }
    EXPECT_EQ(recoveryRangeWeight(0.0f), 1.0f);
    EXPECT_EQ(recoveryRangeWeight(-3.0f), 0.0f);
    EXPECT_EQ(recoveryRangeWeight(3.0f), 0.0f);
    EXPECT_EQ(recoveryRangeWeight(std::numeric_limits<float>::infinity()), 0.0f);
    EXPECT_GT(recoveryRangeWeight(2.9f), 0.0f);
    EXPECT_TRUE(std::isnan(recoveryRangeWeight(kNaN)));
}

TEST(RecoverLuminance, NeverMovesMoreThanFiveEVOrAgainstTheSlider) {
    const RecoverySettings darken = settings(-100, 0, 0, 0, kRecoveryPivot + 9.0f);
    const RecoverySettings lift = settings(0, 100);
    for (float ev = -14.0f; ev <= 14.0f; ev += 0.1f) {
        for (float offset : {-6.0f, -1.0f, 0.0f, 1.0f, 6.0f}) {
            for (float mask : {0.0f, 1.0f}) {
                const float down = movement(ev, ev + offset, mask, darken);
                EXPECT_LE(down, 1e-4f) << ev;
                EXPECT_GE(down, -5.0f - 1e-4f) << ev;
                const float up = movement(ev, ev + offset, mask, lift);
                EXPECT_GE(up, -1e-4f) << ev;
                EXPECT_LE(up, 5.0f + 1e-4f) << ev;
            }
        }
    }
    // The extremes are actually reached: the clamp is what holds them.
    EXPECT_LT(movement(-12.0f, -12.0f, 1.0f, lift), 5.0f + 1e-4f);
    EXPECT_GT(movement(-12.0f, -12.0f, 1.0f, lift), 4.0f);
}

TEST(RecoverLuminance, EachSliderActsOnlyOnItsSideOfThePivot) {
    const RecoverySettings highlights = settings(-100, 0);
    const RecoverySettings liftShadows = settings(0, 100);
    const RecoverySettings deepenShadows = settings(0, -100);
    for (float ev = -10.0f; ev < kRecoveryPivot; ev += 0.2f) {
        EXPECT_NEAR(movement(ev, ev - 1.0f, 1.0f, highlights), 0.0f, 1e-5f) << ev;
        if (ev >= 0.0f) {
            EXPECT_NEAR(movement(ev, ev, 1.0f, deepenShadows), 0.0f, 1e-5f) << ev;
        }
    }
    for (float ev = kRecoveryPivot; ev < 10.0f; ev += 0.2f) {
        EXPECT_NEAR(movement(ev, ev - 1.0f, 1.0f, liftShadows), 0.0f, 1e-5f) << ev;
        EXPECT_NEAR(movement(ev, ev, 1.0f, deepenShadows), 0.0f, 1e-5f) << ev;
        EXPECT_EQ(recoveryProtection(ev - 2.0f, liftShadows), 0.0f);
    }
    EXPECT_LT(movement(-2.0f, -2.0f, 1.0f, deepenShadows), -0.1f);
    EXPECT_EQ(recoveryProtection(kRecoveryPivot - 0.01f, highlights), 0.0f);
    EXPECT_EQ(recoveryProtection(kRecoveryPivot + 1.0f, highlights), 1.0f);
}

TEST(RecoverLuminance, DetailAgainstTheBaseIsLimitedAndMaskedInHighlights) {
    const RecoverySettings s = settings(-100, 0, 0, 0, kRecoveryPivot + 6.0f);
    const float ev = kRecoveryPivot + 3.0f;
    // A pixel brighter than its surroundings keeps at most 0.10 EV more than the flat curve,
    // and only where the texture mask lets it.
    const float flat = movement(ev, ev, 1.0f, s);
    const float textured = movement(ev, ev - 2.0f, 1.0f, s);
    EXPECT_GT(textured, flat);
    EXPECT_LE(textured - flat, 0.10f + 1e-5f);
    EXPECT_NEAR(movement(ev, ev - 2.0f, 0.0f, s), flat, 1e-5f);
}

TEST(RecoverySettings, DullScenesCompressAsIfTheirWhiteWereTwoAndAHalfEVAbovePivot) {
    const float floor = settings(-100, 0, 0, 0, kRecoveryPivot + 2.5f).whiteCompression;
    EXPECT_EQ(settings(-100, 0, 0, 0, kRecoveryPivot + 1.0f).whiteCompression, floor);
    EXPECT_EQ(settings(-100, 0, 0, 0, kEmptyWhitePoint).whiteCompression, floor);
    EXPECT_NE(settings(-100, 0, 0, 0, kRecoveryPivot + 6.0f).whiteCompression, floor);
}

TEST(RecoveryEndpoints, WhitesAndBlacksStayMonotoneAtTheirExtremes) {
    for (float whites : {-100.0f, 100.0f}) {
        for (float blacks : {-100.0f, 100.0f}) {
            const RecoverySettings s = settings(0, 0, whites, blacks);
            float previous = recoveryEndpoints(-20.0f, s);
            for (float ev = -19.9f; ev < 20.0f; ev += 0.1f) {
                const float mapped = recoveryEndpoints(ev, s);
                EXPECT_GT(mapped, previous) << whites << " " << blacks << " " << ev;
                previous = mapped;
            }
        }
    }
    EXPECT_EQ(recoveryEndpoints(1.3f, settings(0, 0)), 1.3f);
}

TEST(RecoveryTextureMask, FineTextureOneContoursAndRampsZero) {
    // A pixel standing out of flat surroundings: texture.
    EXPECT_EQ(recoveryTextureMask(3.0f, 2.0f, 2.0f, 2.0f, 2.0f), 1.0f);
    // A smooth ramp through the pixel: no texture against a clear gradient.
    EXPECT_EQ(recoveryTextureMask(3.0f, 2.0f, 4.0f, 3.0f, 3.0f), 0.0f);
    // A step edge next to the pixel: a contour.
    EXPECT_EQ(recoveryTextureMask(3.0f, 3.0f, 6.0f, 3.0f, 3.0f), 0.0f);
}

TEST(RecoveryBase, UpsamplesSmoothAreasAndIgnoresTexelsBeyondThreeEV) {
    const std::vector<float> texels{1.0f, 1.0f, 1.0f, 1.0f};
    const GuideView uniform{texels.data(), 2, 2};
    EXPECT_EQ(recoveryBase(uniform, {0.3f, 0.8f}, 1.2f), 1.0f);
    // Every texel is more than 3 EV away: the pixel is its own base.
    EXPECT_EQ(recoveryBase(uniform, {0.3f, 0.8f}, 5.0f), 5.0f);

    const std::vector<float> edge{0.0f, 8.0f, 0.0f, 8.0f};  // dark left, bright right
    const GuideView split{edge.data(), 2, 2};
    EXPECT_EQ(recoveryBase(split, {0.5f, 0.5f}, 7.5f), 8.0f);
    EXPECT_EQ(recoveryBase(split, {0.5f, 0.5f}, 0.5f), 0.0f);
    // Outside the texel centres the edge texels repeat.
    EXPECT_EQ(recoveryBase(split, {-0.4f, 1.4f}, 0.2f), 0.0f);
}

TEST(RecoveryWhitePoint, IsTheLargestTexelAndMinus64WhenNothingIsBrighter) {
    std::vector<float> texels(1000, -3.0f);
    texels[999] = 2.5f;  // the last texel, reached by thread 999 mod 256
    texels[17] = kNaN;
    EXPECT_EQ(recoveryWhitePoint({texels.data(), 40, 25}), 2.5f);
    EXPECT_EQ(recoveryWhitePoint({texels.data(), 1, 1}), -3.0f);

    std::vector<float> black(300, -200.0f);
    EXPECT_EQ(recoveryWhitePoint({black.data(), 20, 15}), kEmptyWhitePoint);
}

TEST(RecoveryShoulder, KeepsTheHueBelowWhiteAndRollsBrightLightToWhite) {
    const msl::float3 saturated = recoveryShoulder({0.95f, 0.1f, 0.05f});
    EXPECT_LT(saturated.x, 0.95f);
    EXPECT_NEAR(saturated.y / saturated.x, 0.1f / 0.95f, 1e-5f);
    EXPECT_NEAR(saturated.z / saturated.x, 0.05f / 0.95f, 1e-5f);

    const msl::float3 blown = recoveryShoulder({40.0f, 30.0f, 20.0f});
    EXPECT_LE(blown.x, 1.0f);
    EXPECT_NEAR(blown.x - blown.z, 0.0f, 0.01f);

    EXPECT_EQ(recoveryShoulder({-1.0f, 0.0f, -0.5f}), (msl::float3{0, 0, 0}));
    EXPECT_EQ(recoveryShoulder({0.5f, 0.4f, 0.3f}), (msl::float3{0.5f, 0.4f, 0.3f}));
}

}  // namespace
}  // namespace quillmere
