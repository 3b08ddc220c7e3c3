#include "core/render/develop/sharpening_kernel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/fixtures/texture_fixtures.h"

namespace quillmere {
namespace {

using msl::float3;
using msl::float4;

// Out-of-range settings and render scales are held to what the kernel can do; the formula table
// below covers the values in range.
TEST(SharpeningParametersTest, SanitiseTheSettingsAndTheRenderScale) {
    struct Case {
        SharpeningSettings settings;
        double scale;
        float amount, detail, masking;
        int support;
    };
    const Case cases[] = {
        {{75, 1, 50, 25}, std::nan(""), 1.5f, 0.5f, 0.25f, 3},  // a non-finite scale is 1
        {{75, 3, 50, 25}, 0.001, 1.5f, 0.5f, 0.25f, 1},         // as 0.01
        {{900, 40, -5, 300}, 1, 3.0f, 0.0f, 1.0f, 9},
        {{std::nan(""), std::nan(""), 50, 25}, 1, 0.0f, 0.5f, 0.25f, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.settings.amount << " " << c.scale);
        const auto p = SharpeningKernel::parameters(c.settings, c.scale);
        EXPECT_EQ(p.uniforms.amount, c.amount);
        EXPECT_EQ(p.uniforms.detail, c.detail);
        EXPECT_EQ(p.uniforms.masking, c.masking);
        EXPECT_EQ(p.uniforms.support, c.support);
    }
}

class SharpeningKernelTest : public ::testing::Test {
  protected:
    std::shared_ptr<Texture> image(int width, int height,
                                   const std::function<float4(int, int)>& texel) const {
        return testing::makeTexture(*device, PixelFormat::rgba32Float, width, height, texel);
    }

    std::shared_ptr<Texture> sharpen(const std::shared_ptr<Texture>& input,
                                     const SharpeningSettings& s, double scale) const {
        const auto output =
            image(input->width(), input->height(), [](int, int) { return float4{}; });
        const std::shared_ptr<CommandBuffer> buffer = queue->makeCommandBuffer();
        kernel.encode(input, output, s, scale, *buffer);
        buffer->commit();
        EXPECT_EQ(buffer->status(), CommandBufferStatus::completed);
        return output;
    }

    std::shared_ptr<const Device> device = std::make_shared<Device>();
    std::shared_ptr<CommandQueue> queue = device->makeCommandQueue();
    SharpeningKernel kernel{device};
};

// A 24 × 12 photo: a grey texture (a column pattern plus a row pattern) on the left, then 0.2,
// one column of 0.3 and 0.9; or two flat colours, one with a channel at 0, one with a channel at
// 1. Expected values of row 5 from scripts/reference-values, with the scales rounded to half as
// their textures hold them.
TEST_F(SharpeningKernelTest, SharpensAsItsFormulasSay) {
    struct Case {
        const char* name;
        SharpeningSettings settings;
        double scale;
        bool grey;
        std::vector<std::pair<int, float3>> expected;  // column, colour
    };
    const auto g = [](float v) { return float3{v, v, v}; };
    // clang-format off
    const Case cases[] = {
        {"gentle", {30, 1, 25, 0}, 1.0, true,
         {{4, g(0.38518f)}, {9, g(0.56716f)}, {11, g(0.41287f)}, {15, g(0.185f)},
          {16, g(0.22607f)}}},
        {"fine detail", {60, 0.7, 100, 0}, 1.0, true,
         {{4, g(0.38165f)}, {9, g(0.57552f)}, {11, g(0.42934f)}, {16, g(0.225f)}}},
        {"masked at half size", {100, 2, 50, 60}, 0.5, true,
         {{4, g(0.34615f)}, {9, g(0.5907f)}, {11, g(0.45101f)}}},
        {"scale above one counts as one", {50, 1.5, 0, 0}, 1.5, true,
         {{4, g(0.36471f)}, {6, g(0.38176f)}, {9, g(0.5924f)}, {16, g(0.225f)}}},
        {"widest", {150, 3, 60, 0}, 1.0, true,
         {{3, g(0.49312f)}, {6, g(0.335f)}, {9, g(0.598f)}, {11, g(0.43748f)}, {16, g(0.225f)}}},
        {"both sigmas at their floor", {80, 0.5, 25, 0}, 0.25, true,
         {{4, g(0.4f)}, {9, g(0.55f)}, {16, g(0.3f)}}},
        {"band pass", {150, 2.5, 0, 0}, 1.0, true,
         {{2, g(0.598f)}, {6, g(0.335f)}, {11, g(0.41537f)}, {16, g(0.225f)}}},
        {"no channel leaves 0...1", {150, 1, 100, 0}, 1.0, false,
         {{10, {0.5f, 0.25f, 0.0f}}, {11, {0.5f, 0.25f, 0.0f}}, {12, {0.95f, 0.9f, 1.0f}}}},
    };
    // clang-format on
    const float columns[] = {0.45f, 0.52f, 0.55f, 0.48f, 0.40f, 0.37f, 0.41f};
    const float rows[] = {0.0f, 0.03f, 0.05f, 0.02f, -0.02f};
    const auto grey = image(24, 12, [&](int x, int y) {
        const float v = x < 12 ? columns[x % 7] + rows[y % 5]
                               : (x < 16    ? 0.2f
                                  : x == 16 ? 0.3f
                                            : 0.9f);
        return float4{v, v, v, 0.5f};
    });
    const auto colour = image(24, 12, [](int x, int) {
        return x < 12 ? float4{0.5f, 0.25f, 0.0f, 0.5f} : float4{0.95f, 0.9f, 1.0f, 0.5f};
    });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto output = sharpen(c.grey ? grey : colour, c.settings, c.scale);
        for (const auto& [x, expected] : c.expected) {
            const float4 texel = output->read(x, 5);
            for (int channel = 0; channel < 3; ++channel) {
                EXPECT_NEAR(texel[channel], expected[channel], 0.0015f) << x << " " << channel;
            }
            EXPECT_EQ(texel.w, 0.5f);
        }
    }
}

}  // namespace
}  // namespace quillmere
