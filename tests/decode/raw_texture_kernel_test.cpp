#include "core/decode/raw_texture_kernel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "core/compute/device.h"
#include "core/compute/luminance.h"
#include "core/compute/msl_math.h"
#include "tests/fixtures/texture_fixtures.h"

namespace quillmere {
namespace {

using msl::float3;
using msl::float4;

class RAWTextureKernelTest : public ::testing::Test {
  protected:
    std::shared_ptr<Texture> image(int width, int height,
                                   const std::function<float4(int, int)>& texel) const {
        return testing::makeTexture(device, PixelFormat::rgba32Float, width, height, texel);
    }

    Device device;
    std::shared_ptr<CommandQueue> queue = device.makeCommandQueue();
    RAWTextureKernel kernel;
};

// A 12 × 8 colour pattern on a dark left and a bright right half, with values beyond 0...1:
// colour is averaged over a 7 × 7 window among neighbours of similar luminance, and every
// luminance kept. Expected values from scripts/reference-values.
TEST_F(RAWTextureKernelTest, SmoothsColourAmongNeighboursOfSimilarLuminance) {
    const auto input = image(12, 8, [](int x, int y) {
        const float level = x < 6 ? 0.25f : 1.5f;
        return float4{level * (1 + static_cast<float>((x * 3 + y) % 5) / 4),
                      level * (1 + static_cast<float>((x + y * 2) % 3) / 4),
                      level * (1 - static_cast<float>((x * y) % 4) / 8), 0.5f};
    });
    const auto output = image(12, 8, [](int, int) { return float4{}; });
    const std::shared_ptr<CommandBuffer> buffer = queue->makeCommandBuffer();
    kernel.encode(input, output, *buffer);
    buffer->commit();
    const struct {
        int x, y;
        float3 expected;
    } probes[] = {
        {0, 0, {0.283591f, 0.245254f, 0.1981f}},  {3, 2, {0.360066f, 0.296457f, 0.206358f}},
        {5, 4, {0.418394f, 0.33961f, 0.221751f}}, {6, 4, {2.519f, 2.16237f, 1.57599f}},
        {11, 7, {1.97219f, 1.75267f, 1.13388f}},
    };
    for (const auto& probe : probes) {
        const float4 texel = output->read(probe.x, probe.y);
        for (int channel = 0; channel < 3; ++channel) {
            EXPECT_NEAR(texel[channel], probe.expected[channel], 2e-5f)
                << probe.x << ", " << probe.y;
        }
        EXPECT_EQ(texel.w, 0.5f);
        EXPECT_NEAR(msl::dot(texel.xyz(), kRec709Luma),
                    msl::dot(input->read(probe.x, probe.y).xyz(), kRec709Luma), 1e-6f);
    }
    // A grey photo passes unchanged.
    const auto grey = image(5, 5, [](int x, int) {
        return float4{0.1f * x, 0.1f * x, 0.1f * x, 1};
    });
    const auto greyOutput = image(5, 5, [](int, int) { return float4{}; });
    const std::shared_ptr<CommandBuffer> again = queue->makeCommandBuffer();
    kernel.encode(grey, greyOutput, *again);
    again->commit();
    for (int x = 0; x < 5; ++x) EXPECT_NEAR(greyOutput->read(x, 2).y, 0.1f * x, 1e-6f);
}

}  // namespace
}  // namespace quillmere
