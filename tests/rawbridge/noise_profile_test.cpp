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
    // Too dark, too bright, and without noise.
    for (const auto& plane : {noisyPlane(16, 16, 5e-6f, 1e-7f), noisyPlane(16, 16, 0.96f, 0.001f),
                              noisyPlane(16, 16, 0.5f, 0.0f)}) {
        EXPECT_FALSE(measurePatch(plane.data(), 16, 0, 0, 0));
    }
}

TEST(NoiseProfile, FitsTheLineThroughItsPointsWithinItsLimits) {
    using Points = std::vector<NoiseFitPoint>;
    // variance = 1e-3 × (level − 0.05) crosses zero above level 0: fitted through the origin,
    // shot the median of (variance − 1e-10) / level.
    const float throughOrigin = (1e-3f * 0.15f - 1e-10f) / 0.2f;
    const struct {
        const char* name;
        Points points;
        float shot, read;
    } cases[] = {
        {"a line",
         {{0.1f, 2e-5f + 4e-5f}, {0.3f, 2e-5f + 12e-5f}, {0.5f, 2e-5f + 20e-5f}},
         4e-4f,
         2e-5f},
        {"uniform", {{0.1f, 3e-5f}, {0.4f, 3e-5f}, {0.8f, 3e-5f}}, 0.0f, 3e-5f},
        {"falling", {{0.1f, 5e-5f}, {0.4f, 4e-5f}, {0.8f, 1e-5f}}, 0.0f, 4e-5f},
        {"loud", {{0.1f, 0.5f}, {0.4f, 0.5f}, {0.8f, 0.5f}}, 0.0f, 0.01f},
        {"crossing zero", {{0.1f, 5e-5f}, {0.2f, 15e-5f}, {0.4f, 35e-5f}}, throughOrigin, 1e-10f},
        {"steeper than allowed", {{0.1f, 1e-3f}, {0.5f, 0.02f}}, 0.02f, 0.0045f},
        {"closer than 1e-4", {{0.5f, 1e-5f}, {0.50005f, 3e-5f}}, 0.0f, 2e-5f},
        {"nothing", {}, 0.0f, 1e-10f},
    };
    for (const auto& c : cases) {
        const NoiseLine line = fitLine(c.points);
        EXPECT_NEAR(line.shot, c.shot, 1e-4f * c.shot + 1e-9f) << c.name;
        EXPECT_NEAR(line.read, c.read, 1e-4f * c.read) << c.name;
    }
}

TEST(NoiseProfile, FewerThan32PatchesAreCountedButNotFitted) {
    // One column of 32 16 × 16 patches, each at its own level with the same noise, read whole,
    // without its last patch and too narrow.
    const float sigma = 0.01f;
    std::vector<float> plane = noisyPlane(16, 32 * 16, 0.0f, sigma);
    for (std::size_t i = 0; i < plane.size(); ++i) {
        plane[i] += 0.1f + 0.02f * static_cast<float>(i / (16 * 16 * 4));
    }
    const Fit none = estimatePlane(plane, 15, 32 * 16);
    const Fit few = estimatePlane(plane, 16, 31 * 16);
    const Fit enough = estimatePlane(plane, 16, 32 * 16);
    for (int channel = 0; channel < 4; ++channel) {
        EXPECT_EQ((std::array{none.samples[channel], few.samples[channel]}), (std::array{0, 31}));
        EXPECT_EQ((std::array{few.shot[channel], few.read[channel]}), (std::array{0.0f, 1e-6f}));
        EXPECT_EQ(enough.samples[channel], 32);
        EXPECT_NEAR(enough.read[channel], sigma * sigma, 0.5f * sigma * sigma);
    }
}

}  // namespace
}  // namespace quillmere::rawbridge
