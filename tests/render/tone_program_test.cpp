#include "core/render/tone_program.h"

#include <gtest/gtest.h>

#include <vector>

namespace quillmere {
namespace {

// Recovery data of a flat scene: the base is the pixel itself and nothing counts as texture.
struct FlatRecovery {
    float base(float ev) const { return ev; }
    float textureMask(float) const { return 0.0f; }
};

struct Develop {
    ToneUniforms u;
    HSLUniforms hsl;
    PointColorUniforms points;
    std::vector<float> curve;
    float whiteEV = kEmptyWhitePoint;

    msl::float3 operator()(msl::float3 original) const {
        const ToneProgram program(u, curve.empty() ? nullptr : curve.data(), hsl, points, whiteEV);
        return program.develop(original, original, FlatRecovery{});
    }
};

PointColorRecord pickedPoint(float hue) {
    PointColorRecord point;
    point.hue = hue;
    point.saturation = 0.7f;
    point.brightness = 0.7f;
    point.hueRange = 60;
    point.saturationRange = 1;
    point.luminanceRange = 1;
    point.range = 100;
    return point;
}

void expectNear(msl::float3 actual, msl::float3 expected, float tolerance) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

TEST(ToneProgram, NeutralEditIsThePerChannelEncoding) {
    Develop develop;
    for (float raw : {0.0f, 1.0f}) {
        develop.u.rawShoulder = raw;
        for (msl::float3 c : {msl::float3{0.18f, 0.18f, 0.18f}, msl::float3{0.9f, 0.3f, 0.05f},
                              msl::float3{2.5f, 0.6f, -0.1f}, msl::float3{0, 0, 0}}) {
            const auto encode = [raw](float v) {
                return raw > 0 ? shoulderEncode(v) : clipEncode(v);
            };
            expectNear(develop(c), {encode(c.x), encode(c.y), encode(c.z)}, 2e-6f);
        }
    }
}

TEST(ToneProgram, MiddleGreyIsFixedUnderEveryContrast) {
    Develop develop;
    const float grey = clipEncode(kMiddleGrey);
    for (float contrast : {-100.0f, -30.0f, 45.0f, 100.0f}) {
        develop.u.contrast = contrast;
        expectNear(develop({0.18f, 0.18f, 0.18f}), {grey, grey, grey}, 1e-6f);
        // Away from grey contrast does act, in opposite directions on either side.
        const float bright = develop({0.6f, 0.6f, 0.6f}).x;
        EXPECT_EQ(bright > clipEncode(0.6f), contrast > 0) << contrast;
    }
}

TEST(ToneProgram, RawRollsOffToWhiteAtFourAndRasterClipsAboveOne) {
    Develop develop;
    develop.u.rawShoulder = 1;
    expectNear(develop({4.0f, 4.0f, 4.0f}), {1, 1, 1}, 1e-6f);
    EXPECT_LT(develop({1.5f, 1.5f, 1.5f}).x, 0.99f);
    develop.u.rawShoulder = 0;
    EXPECT_EQ(develop({1.01f, 1.5f, 9.0f}), (msl::float3{1, 1, 1}));
    // Black and colours pushed negative by the gains encode to 0 without NaN.
    develop.u.wbGainR = -1;
    const msl::float3 negative = develop({0.5f, 0.0f, 0.0f});
    EXPECT_EQ(negative, (msl::float3{0, 0, 0}));
}

TEST(ToneProgram, GreysAreUntouchedByPointsAndTheMixer) {
    Develop develop;
    develop.u.hslActive = 1;
    std::fill(std::begin(develop.hsl.hue), std::end(develop.hsl.hue), 100.0f);
    std::fill(std::begin(develop.hsl.sat), std::end(develop.hsl.sat), 100.0f);
    std::fill(std::begin(develop.hsl.lum), std::end(develop.hsl.lum), -100.0f);
    develop.points.count = 2;
    for (int k = 0; k < 2; ++k) {
        develop.points.points[k] = pickedPoint(0);
        develop.points.points[k].saturation = 0;
        develop.points.points[k].hueShift = 100;
        develop.points.points[k].saturationShift = 100;
        develop.points.points[k].luminanceShift = -100;
    }
    for (float v : {0.0f, 0.05f, 0.18f, 0.7f, 1.0f}) {
        const float encoded = clipEncode(v);
        expectNear(develop({v, v, v}), {encoded, encoded, encoded}, 1e-6f);
    }
    // The same controls do move a coloured pixel.
    EXPECT_GT(std::fabs(develop({0.5f, 0.1f, 0.1f}).x - clipEncode(0.5f)), 0.05f);
}

TEST(ToneProgram, OverlappingPointsTurningFarBelowZeroStillGiveAValidHue) {
    Develop develop;
    develop.points.count = 8;
    for (auto& point : develop.points.points) {
        point = pickedPoint(150);
        point.hueRange = 180;   // selects every hue fully
        point.hueShift = -100;  // −30 degrees each
        point.variance = 100;   // and the distance from the point's hue doubled
    }
    // Encoded hue about 2 degrees, 148 below the points: each turns it by about −178.
    const msl::float3 linear{0.6f, 0.1f, 0.09f};
    const msl::float3 out = develop(linear);
    const float sampleHue =
        rgb2hsv({clipEncode(linear.x), clipEncode(linear.y), clipEncode(linear.z)}).x;
    const float dh = sampleHue - 150.0f;
    const float expectedHue = wrapHue(sampleHue + 8.0f * (-30.0f + dh) + 720.0f);
    ASSERT_LT(sampleHue + 8.0f * (-30.0f + dh) + 720.0f, 0.0f);  // the case that used to break
    EXPECT_NEAR(rgb2hsv(out).x, expectedHue, 0.05f);
    for (int c = 0; c < 3; ++c) {
        EXPECT_GE(out[c], 0.0f);
        EXPECT_LE(out[c], 1.0f);
    }
}

TEST(ToneProgram, SaturationMinus100AndBlackAndWhiteGiveTheRec601Grey) {
    Develop develop;
    const msl::float3 colour{0.5f, 0.2f, 0.05f};
    const msl::float3 encoded{clipEncode(colour.x), clipEncode(colour.y), clipEncode(colour.z)};
    const float grey = rec601Grey(encoded);
    develop.u.saturation = -100;
    expectNear(develop(colour), {grey, grey, grey}, 1e-6f);
    develop.u.saturation = 0;
    develop.points.blackAndWhite = 1;
    expectNear(develop(colour), {grey, grey, grey}, 1e-6f);
}

TEST(ToneProgram, CurveAppliesOnlyWhenActive) {
    Develop develop;
    develop.curve.assign(kCurveTableSize, 0.0f);
    for (std::size_t i = 0; i < kCurveTableSize; ++i) {
        develop.curve[i] = 1.0f - static_cast<float>(i % 256) / 255.0f;  // every table inverts
    }
    const msl::float3 colour{0.5f, 0.2f, 0.05f};
    const msl::float3 encoded{clipEncode(colour.x), clipEncode(colour.y), clipEncode(colour.z)};
    expectNear(develop(colour), encoded, 1e-6f);
    develop.u.curveActive = 1;
    expectNear(develop(colour), encoded, 1e-5f);  // inverted twice
    for (std::size_t i = kCurveRedBase; i < kCurveTableSize; ++i) develop.curve[i] = 0.25f;
    expectNear(develop(colour), {0.25f, 0.25f, 0.25f}, 1e-6f);
}

TEST(ToneProgram, VisualisationsGreyEverythingOutsideTheSelection) {
    Develop develop;
    develop.points.count = 1;
    develop.points.points[0] = pickedPoint(0);
    develop.points.visualizePointIndex = 0;
    const msl::float3 red = develop({0.6f, 0.05f, 0.05f});
    EXPECT_GT(red.x - red.y, 0.3f);
    const msl::float3 blue = develop({0.05f, 0.05f, 0.6f});
    EXPECT_NEAR(blue.x, blue.z, 1e-6f);
    // An index past the points selects nothing.
    develop.points.visualizePointIndex = 3;
    const msl::float3 none = develop({0.6f, 0.05f, 0.05f});
    EXPECT_NEAR(none.x, none.y, 1e-6f);

    develop.points = PointColorUniforms{};
    develop.points.visualizeBandIndex = 5;  // blue
    const msl::float3 shownBlue = develop({0.05f, 0.05f, 0.6f});
    EXPECT_GT(shownBlue.z - shownBlue.x, 0.3f);
    const msl::float3 hiddenRed = develop({0.6f, 0.05f, 0.05f});
    EXPECT_NEAR(hiddenRed.x, hiddenRed.z, 1e-6f);
}

TEST(ToneProgram, RecoveryDataIsAskedForOnlyByCompressedPixels) {
    struct CountingRecovery {
        int* calls;
        float base(float ev) const { return ++*calls, ev; }
        float textureMask(float) const { return ++*calls, 0.0f; }
    };
    int calls = 0;
    ToneUniforms u;
    u.whites = 50;  // recovery runs, nothing compresses
    const HSLUniforms hsl;
    const PointColorUniforms points;
    const ToneProgram whitesOnly(u, nullptr, hsl, points, 0);
    whitesOnly.develop({2, 2, 2}, {}, CountingRecovery{&calls});
    whitesOnly.develop({0.01f, 0.01f, 0.01f}, {}, CountingRecovery{&calls});
    EXPECT_EQ(calls, 0);
    EXPECT_FALSE(whitesOnly.compresses());

    u.highlights = -50;
    const ToneProgram highlights(u, nullptr, hsl, points, 4);
    highlights.develop({0.01f, 0.01f, 0.01f}, {}, CountingRecovery{&calls});
    EXPECT_EQ(calls, 0);
    highlights.develop({2, 2, 2}, {}, CountingRecovery{&calls});
    EXPECT_EQ(calls, 2);
}

}  // namespace
}  // namespace quillmere
