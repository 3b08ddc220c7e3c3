#include "core/render/develop/tone_program.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace quillmere {
namespace {

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
