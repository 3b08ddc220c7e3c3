#include "core/render/develop/tone_program.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
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

TEST(ToneProgram, APointShiftingOnlyLuminanceScalesTheColoursItSelects) {
    Develop develop;
    const msl::float3 red = develop({0.6f, 0.05f, 0.05f});
    const msl::float3 blue = develop({0.05f, 0.05f, 0.6f});
    develop.points.count = 1;
    develop.points.points[0] = pickedPoint(0);
    develop.points.points[0].luminanceShift = -100;  // −0.75 EV on the HSV value
    expectNear(develop({0.6f, 0.05f, 0.05f}), red * std::exp2(-0.75f), 1e-5f);
    expectNear(develop({0.05f, 0.05f, 0.6f}), blue, 0.0f);
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


// Recovery data that differs from pixel to pixel, so a pixel given another's data shows.
struct IndexedRecovery {
    int index;
    float base(float ev) const { return ev - 0.3f * static_cast<float>(index % 3); }
    float textureMask(float) const { return static_cast<float>(index % 5) / 4.0f; }
};

// The same data for runs of pixels at once, as the tone pass's rows give it.
struct IndexedChunkRecovery {
    void bases(int first, int n, const float* ev, float* out) const {
        for (int i = 0; i < n; ++i) out[i] = IndexedRecovery{first + i}.base(ev[i]);
    }
    void textureMasks(int first, int n, const float* ev, float* out) const {
        for (int i = 0; i < n; ++i) out[i] = IndexedRecovery{first + i}.textureMask(ev[i]);
    }
};

std::uint32_t bitsOf(float value) { return std::bit_cast<std::uint32_t>(value); }

TEST(ToneProgram, ARowDevelopedInChunksGivesEveryPixelItsOwnResult) {
    ToneUniforms u{1.1f, 0.95f, 0.9f, 0.3f, 30, -70, 60, -40, 20, 25, -15, 1, 1, 0.4f, 1};
    HSLUniforms hsl;
    for (std::size_t band = 0; band < kMixerBandCount; ++band) {
        hsl.hue[band] = 12.0f * static_cast<float>(band) - 40.0f;
        hsl.lum[band] = 30.0f - 8.0f * static_cast<float>(band);
    }
    PointColorUniforms points;
    points.count = 2;
    points.points[0] = pickedPoint(20);
    points.points[0].hueShift = 50;
    points.points[1] = pickedPoint(200);
    points.points[1].luminanceShift = -60;
    std::vector<float> curve(kCurveTableSize);
    for (std::size_t i = 0; i < curve.size(); ++i) {
        const float x = static_cast<float>(i % kCurveTableEntries) / 255.0f;
        curve[i] = x * x;
    }
    const ToneProgram program(u, curve.data(), hsl, points, 3.5f);

    // More than two chunks and a partial one, with black, negative, huge and non-finite pixels
    // among ordinary ones.
    constexpr int kCount = 150;
    std::vector<msl::float4> original(kCount), clean(kCount), row(kCount);
    for (int i = 0; i < kCount; ++i) {
        const float level = std::exp2(static_cast<float>(i % 23) - 10.0f);
        original[i] = {level * (0.5f + 0.02f * static_cast<float>(i % 17)), level * 0.7f,
                       level * (1.2f - 0.03f * static_cast<float>(i % 11)),
                       static_cast<float>(i) / kCount};
        clean[i] = {original[i].x * 0.9f, original[i].y, original[i].z * 1.05f, 0.0f};
    }
    original[3] = {0, 0, 0, 1};
    original[64] = {-0.2f, 0.1f, -0.5f, 1};
    original[65] = {1e30f, 2.0f, 0.5f, 1};
    original[127] = {std::numeric_limits<float>::infinity(), 1, 1, 1};
    original[128] = {std::numeric_limits<float>::quiet_NaN(), 0.3f, 0.3f, 1};

    program.developPixels(
        original.data(), clean.data(), kCount, [](int i) { return IndexedRecovery{i}; },
        row.data());
    for (int i = 0; i < kCount; ++i) {
        const msl::float3 alone =
            program.develop(original[i].xyz(), clean[i].xyz(), IndexedRecovery{i});
        for (int c = 0; c < 3; ++c) EXPECT_EQ(bitsOf(row[i][c]), bitsOf(alone[c])) << i << " " << c;
        EXPECT_EQ(row[i].w, original[i].w);
    }

    // Recovery data asked for whole runs, as the tone pass asks its rows, changes nothing.
    std::vector<msl::float4> fromRuns(kCount);
    program.developPixels(original.data(), clean.data(), kCount, IndexedChunkRecovery{},
                          fromRuns.data());
    for (int i = 0; i < kCount; ++i) {
        for (int c = 0; c < 4; ++c) EXPECT_EQ(bitsOf(fromRuns[i][c]), bitsOf(row[i][c])) << i;
    }
}

}  // namespace
}  // namespace quillmere
