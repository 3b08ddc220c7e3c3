#include "core/decode/raw_texture_kernel.h"

#include <gtest/gtest.h>

#include "core/compute/device.h"
#include "core/compute/luminance.h"
#include "core/compute/msl_math.h"
#include "tests/fixtures/texture_fixtures.h"

namespace quillmere {
namespace {

using msl::float3;
using msl::float4;

// A 12 × 8 colour pattern on a dark left and a bright right half, with values beyond 0...1:
// colour is averaged over a 7 × 7 window among neighbours of similar luminance, and every
// luminance kept. Expected values from scripts/reference-values.
TEST(RAWTextureKernelTest, SmoothsColourAmongNeighboursOfSimilarLuminance) {
    const Device device;
    const auto input =
        testing::makeTexture(device, PixelFormat::rgba32Float, 12, 8, [](int x, int y) {
            const float level = x < 6 ? 0.25f : 1.5f;
            return float4{level * (1 + static_cast<float>((x * 3 + y) % 5) / 4),
                          level * (1 + static_cast<float>((x + y * 2) % 3) / 4),
                          level * (1 - static_cast<float>((x * y) % 4) / 8), 0.5f};
        });
    const auto output = testing::makeTexture(device, PixelFormat::rgba32Float, 12, 8,
                                             [](int, int) { return float4{}; });
    const std::shared_ptr<CommandBuffer> buffer = device.makeCommandQueue()->makeCommandBuffer();
    RAWTextureKernel().encode(input, output, *buffer);
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
}

}  // namespace
}  // namespace quillmere
