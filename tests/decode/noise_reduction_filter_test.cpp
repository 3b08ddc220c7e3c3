#include "core/decode/noise_reduction_filter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "tests/decode/decode_test_support.h"

namespace quillmere {
namespace {

using msl::float4;
using testing::statisticsOf;

constexpr float kNoiseLevel = 0.04f;
constexpr int kSize = 96;

// Linear grey `level` with the noise the filter is told of: a standard deviation of
// 2 × kNoiseLevel × √level in each channel. Alpha 0.5 throughout.
std::shared_ptr<Texture> noisyTexture(const Device& device, PixelFormat format,
                                      const std::function<float(int x)>& level, unsigned seed) {
    std::mt19937 random(seed);
    std::normal_distribution<float> normal(0.0f, 1.0f);
    return testing::makeTexture(device, format, kSize, kSize, [&](int x, int) {
        const float clean = level(x);
        const float sigma = 2.0f * kNoiseLevel * std::sqrt(clean);
        return float4{clean + sigma * normal(random), clean + sigma * normal(random),
                      clean + sigma * normal(random), 0.5f};
    });
}

// Flat halves at 0.2 and 0.6: each smoothed about its own mean, the step between them kept.
TEST(NoiseReductionFilter, SmoothsNoiseOfTheStatedLevelKeepingMeansEdgesAndAlpha) {
    const Device device;
    const auto step = [](int x) { return x < kSize / 2 ? 0.2f : 0.6f; };
    for (PixelFormat format : {PixelFormat::rgba16Float, PixelFormat::rgba32Float}) {
        const auto source = noisyTexture(device, format, step, 1);
        const auto result = reduceTextureNoise(*source, device, kNoiseLevel);
        ASSERT_NE(result, nullptr);
        EXPECT_EQ(result->pixelFormat(), format);
        for (int channel = 0; channel < 3; ++channel) {
            for (const int x : {0, kSize / 2 + 8}) {  // inside each half
                const auto before = statisticsOf(*source, channel, x, 0, kSize / 2 - 8, kSize);
                const auto after = statisticsOf(*result, channel, x, 0, kSize / 2 - 8, kSize);
                EXPECT_NEAR(after.mean, before.mean, 0.01 * before.mean) << channel;
                EXPECT_GT(before.deviation / after.deviation, 2.5) << channel;
            }
            const double contrast = statisticsOf(*result, channel, kSize / 2, 0, 2, kSize).mean -
                                    statisticsOf(*result, channel, kSize / 2 - 2, 0, 2, kSize).mean;
            EXPECT_NEAR(contrast / 0.4, 1.0, 0.1) << channel;
        }
        const auto alpha = statisticsOf(*result, 3, 0, 0, kSize, kSize);
        EXPECT_EQ(alpha.mean, 0.5);
        EXPECT_EQ(alpha.deviation, 0.0);
    }
}

TEST(NoiseReductionFilter, ContainsAPixelThatIsNotFiniteAndNeedsMemory) {
    const Device device;
    const auto source =
        testing::makeTexture(device, PixelFormat::rgba16Float, 16, 16, [](int x, int y) {
            return float4{x == 8 && y == 8 ? INFINITY : 0.3f, 0.3f, 0.3f, 1.0f};
        });
    const auto result = reduceTextureNoise(*source, device, kNoiseLevel);
    ASSERT_NE(result, nullptr);
    const std::vector<float4> texels = testing::readTexels(*result);
    for (std::size_t i = 0; i < texels.size(); ++i) {
        if (i != 8 * 16 + 8) {
            ASSERT_NEAR(texels[i].x, 0.3f, 1e-3f) << i;
        }
    }
    EXPECT_EQ(reduceTextureNoise(*source, Device(1024), kNoiseLevel), nullptr);
}

}  // namespace
}  // namespace quillmere
