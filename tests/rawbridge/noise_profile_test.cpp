#include "rawbridge/noise_profile.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <vector>

namespace quillmere::rawbridge {
namespace {

// A packed plane of width × height elements, every channel `level` plus Gaussian noise of
// standard deviation `sigma`.
std::vector<float> noisyPlane(int width, int height, float level, float sigma, unsigned seed = 1) {
    std::mt19937 generator(seed);
    std::normal_distribution<float> noise(0.0f, sigma);
    std::vector<float> plane(static_cast<std::size_t>(width) * height * 4);
    for (float& value : plane) value = level + noise(generator);
    return plane;
}

struct Fit {
    std::array<float, 4> shot{};
    std::array<float, 4> read{};
    std::array<std::int32_t, 4> samples{};
};

Fit estimatePlane(const std::vector<float>& plane, int width, int height) {
    Fit fit;
    estimate(plane.data(), width, height, fit.shot.data(), fit.read.data(), fit.samples.data());
    return fit;
}

TEST(NoiseProfile, MedianIsTheMiddleValueOrTheMeanOfTheTwoMiddleValues) {
    std::vector<float> odd = {3.0f, 1.0f, 2.0f};
    EXPECT_EQ(median(odd), 2.0f);
    std::vector<float> even = {4.0f, 1.0f, 3.0f, 2.0f};
    EXPECT_EQ(median(even), 2.5f);
    std::vector<float> repeated = {7.0f, 7.0f, 1.0f, 9.0f};
    EXPECT_EQ(median(repeated), 7.0f);
}

TEST(NoiseProfile, MeasuresLevelVarianceAndTextureOfAPatch) {
    // Flat at 0.5 but for the top-left sample of each 2 × 2 block, raised and lowered by x in
    // alternate blocks: the diagonal details are ±x/2, so sigma = 1.4826022 × x/2, and the block
    // means alternate without any trend.
    const float x = 0.02f;
    std::vector<float> plane(16 * 16 * 4, 0.5f);
    for (int blockRow = 0; blockRow < 8; ++blockRow) {
        for (int blockCol = 0; blockCol < 8; ++blockCol) {
            const float sign = (blockCol % 2 == 0) ? 1.0f : -1.0f;
            plane[(static_cast<std::size_t>(2 * blockRow) * 16 + 2 * blockCol) * 4 + 1] += sign * x;
        }
    }
    const auto patch = measurePatch(plane.data(), 16, 0, 0, 1);
    ASSERT_TRUE(patch);
    EXPECT_FLOAT_EQ(patch->level, 0.5f);
    const float sigma = 1.4826022f * x / 2.0f;
    EXPECT_NEAR(patch->variance, sigma * sigma, 1e-5f * sigma * sigma);
    EXPECT_EQ(patch->texture, 0.0f);

    // Blocks at irregular heights are structure; the diagonal details do not see it.
    std::vector<float> blocky = plane;
    for (int row = 0; row < 16; ++row) {
        for (int col = 0; col < 16; ++col) {
            const int block = (row / 2) * 8 + col / 2;
            blocky[(static_cast<std::size_t>(row) * 16 + col) * 4 + 1] +=
                0.01f * static_cast<float>((block * 7) % 11);
        }
    }
    const auto textured = measurePatch(blocky.data(), 16, 0, 0, 1);
    ASSERT_TRUE(textured);
    EXPECT_NEAR(textured->variance, patch->variance, 1e-5f * sigma * sigma);
    EXPECT_GT(textured->texture, 1.0f);
}

TEST(NoiseProfile, DropsClippedPatchesAndPatchesWithoutUsableLevelOrNoise) {
    // Eight clipped or empty samples are tolerated, nine are not.
    for (const float clippedValue : {0.0f, 0.98f, 1.0f}) {
        std::vector<float> plane = noisyPlane(16, 16, 0.5f, 0.01f);
        for (int i = 0; i < 8; ++i) plane[static_cast<std::size_t>(i * 17) * 4] = clippedValue;
        EXPECT_TRUE(measurePatch(plane.data(), 16, 0, 0, 0)) << clippedValue;
        plane[static_cast<std::size_t>(200) * 4] = clippedValue;
        EXPECT_FALSE(measurePatch(plane.data(), 16, 0, 0, 0)) << clippedValue;
    }
    const std::vector<float> dark = noisyPlane(16, 16, 5e-6f, 1e-7f);
    EXPECT_FALSE(measurePatch(dark.data(), 16, 0, 0, 0));
    const std::vector<float> bright = noisyPlane(16, 16, 0.96f, 0.001f);
    EXPECT_FALSE(measurePatch(bright.data(), 16, 0, 0, 0));
    const std::vector<float> clean(16 * 16 * 4, 0.5f);
    EXPECT_FALSE(measurePatch(clean.data(), 16, 0, 0, 0));
}

std::vector<NoisePatch> patchesOnALine(int count, float texture, float shot, float read) {
    std::vector<NoisePatch> patches;
    for (int i = 0; i < count; ++i) {
        const float level = 0.05f + 0.8f * static_cast<float>(i) / static_cast<float>(count);
        patches.push_back({level, read + shot * level, texture});
    }
    return patches;
}

TEST(NoiseProfile, BinsAllOf32PatchesButOnlyTheFlattest55PercentOfMore) {
    EXPECT_EQ(fitPoints(patchesOnALine(32, 1.0f, 1e-3f, 1e-5f)).size(), 2u);

    // 55 flat patches on the line and 45 textured ones far off it: 55 are kept, cut into runs of
    // 16, and the last run of 7 is dropped.
    std::vector<NoisePatch> patches = patchesOnALine(55, 0.1f, 1e-3f, 1e-5f);
    for (const NoisePatch& flat : patchesOnALine(45, 5.0f, 0.0f, 0.5f)) patches.push_back(flat);
    const std::vector<NoiseFitPoint> points = fitPoints(patches);
    ASSERT_EQ(points.size(), 3u);
    for (std::size_t i = 0; i < points.size(); ++i) {
        EXPECT_LT(points[i].variance, 0.01f);
        if (i > 0) {
            EXPECT_GT(points[i].level, points[i - 1].level);
        }
    }
}

TEST(NoiseProfile, FitsTheLineThroughItsPoints) {
    std::vector<NoiseFitPoint> points;
    for (float level : {0.1f, 0.3f, 0.5f, 0.7f}) points.push_back({level, 2e-5f + 4e-4f * level});
    const NoiseLine line = fitLine(points);
    EXPECT_NEAR(line.shot, 4e-4f, 1e-8f);
    EXPECT_NEAR(line.read, 2e-5f, 1e-9f);
}

TEST(NoiseProfile, UniformOrFallingNoiseHasNoShotComponent) {
    std::vector<NoiseFitPoint> uniform;
    for (float level : {0.1f, 0.4f, 0.8f}) uniform.push_back({level, 3e-5f});
    EXPECT_EQ(fitLine(uniform).shot, 0.0f);
    EXPECT_FLOAT_EQ(fitLine(uniform).read, 3e-5f);

    std::vector<NoiseFitPoint> loud;
    for (float level : {0.1f, 0.4f, 0.8f}) loud.push_back({level, 0.5f});
    EXPECT_EQ(fitLine(loud).read, 0.01f);

    const std::vector<NoiseFitPoint> falling = {{0.1f, 5e-5f}, {0.4f, 4e-5f}, {0.8f, 1e-5f}};
    EXPECT_EQ(fitLine(falling).shot, 0.0f);
    EXPECT_FLOAT_EQ(fitLine(falling).read, 4e-5f);
}

TEST(NoiseProfile, ALineCrossingZeroAboveLevelZeroIsFittedThroughTheOrigin) {
    // variance = 1e-3 × (level − 0.05): the intercept is negative.
    std::vector<NoiseFitPoint> points;
    for (float level : {0.1f, 0.2f, 0.4f}) points.push_back({level, 1e-3f * (level - 0.05f)});
    std::vector<float> ratios;
    for (const NoiseFitPoint& point : points) {
        ratios.push_back((point.variance - 1e-10f) / point.level);
    }
    const NoiseLine line = fitLine(points);
    EXPECT_EQ(line.read, 1e-10f);
    EXPECT_FLOAT_EQ(line.shot, median(ratios));
}

TEST(NoiseProfile, PointsCloserThanATenThousandthGiveNoSlope) {
    const std::vector<NoiseFitPoint> points = {{0.5f, 1e-5f}, {0.50005f, 3e-5f}};
    const NoiseLine line = fitLine(points);
    EXPECT_EQ(line.shot, 0.0f);
    EXPECT_FLOAT_EQ(line.read, 2e-5f);
}

TEST(NoiseProfile, FewerThan32PatchesAreCountedButNotFitted) {
    // One column of 16 × 16 patches, each at its own level with the same noise: 31 rows of them,
    // then 32.
    const float sigma = 0.01f;
    const auto steppedPlane = [sigma](int patchRows) {
        std::vector<float> plane = noisyPlane(16, patchRows * 16, 0.0f, sigma);
        for (std::size_t i = 0; i < plane.size(); ++i) {
            plane[i] += 0.1f + 0.02f * static_cast<float>(i / (16 * 16 * 4));
        }
        return plane;
    };
    const Fit few = estimatePlane(steppedPlane(31), 16, 31 * 16);
    const Fit enough = estimatePlane(steppedPlane(32), 16, 32 * 16);
    const Fit none = estimatePlane(steppedPlane(4), 15, 64);  // narrower than one patch
    for (int channel = 0; channel < 4; ++channel) {
        EXPECT_EQ(none.samples[channel], 0);
        EXPECT_EQ(none.shot[channel], 0.0f);
        EXPECT_EQ(none.read[channel], 1e-6f);
        EXPECT_EQ(few.samples[channel], 31);
        EXPECT_EQ(few.shot[channel], 0.0f);
        EXPECT_EQ(few.read[channel], 1e-6f);
        EXPECT_EQ(enough.samples[channel], 32);
        EXPECT_NEAR(enough.read[channel], sigma * sigma, 0.5f * sigma * sigma);
    }
}

TEST(NoiseProfile, ASaturatedChannelHasNoPatches) {
    std::vector<float> plane = noisyPlane(128, 128, 0.4f, 0.01f);
    for (std::size_t i = 2; i < plane.size(); i += 4) plane[i] = 1.0f;
    const Fit fit = estimatePlane(plane, 128, 128);
    EXPECT_EQ(fit.samples[2], 0);
    EXPECT_EQ(fit.read[2], 1e-6f);
    EXPECT_EQ(fit.samples[0], 64);
    EXPECT_EQ(fit.samples[3], 64);
}

TEST(NoiseProfile, LargePlanesAreSampledWithAWiderStep) {
    // Uniform hash noise is enough to make every patch count.
    const auto hashedPlane = [](int width, int height) {
        std::vector<float> plane(static_cast<std::size_t>(width) * height * 4);
        for (std::size_t i = 0; i < plane.size(); ++i) {
            std::uint64_t hash = (i + 1) * 0x9E3779B97F4A7C15ull;
            hash = (hash ^ (hash >> 31)) * 0xBF58476D1CE4E5B9ull;
            plane[i] = 0.4f + 0.02f * static_cast<float>(hash >> 54) / 1024.0f;
        }
        return plane;
    };
    // 1000 × 1000 elements: sqrt(200) → 14, below the minimum step of 16: 62 × 62 patches.
    EXPECT_EQ(estimatePlane(hashedPlane(1000, 1000), 1000, 1000).samples[0], 62 * 62);
    // 1600 × 1600: sqrt(512) → 22, so 73 × 73 patches instead of 100 × 100.
    EXPECT_EQ(estimatePlane(hashedPlane(1600, 1600), 1600, 1600).samples[0], 73 * 73);
}

}  // namespace
}  // namespace quillmere::rawbridge
