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
