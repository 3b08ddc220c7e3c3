#include "core/render/develop/sharpening_kernel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/compute/kernel_errors.h"
#include "tests/fixtures/texture_fixtures.h"

namespace quillmere {
namespace {

using msl::float2;
using msl::float3;
using msl::float4;

// The sigma of one Gaussian column (x fine, y coarse), from the ratio of its first two taps.
double sigmaOf(const SharpeningKernel::Parameters& p, float float2::*column) {
    const double ratio = static_cast<double>(p.weights.taps[kSharpenMaxSupport + 1].*column) /
                         static_cast<double>(p.weights.taps[kSharpenMaxSupport].*column);
    return std::sqrt(-0.5 / std::log(ratio));
}

TEST(SharpeningParametersTest, FollowTheSettingsAndTheRenderScale) {
    struct Case {
        SharpeningSettings settings;
        double scale;
        float amount, detail, masking;
        int support;
        double fineSigma, coarseSigma;
    };
    const double nan = std::nan("");
    const Case cases[] = {
        // Radius 0.5 at a quarter of the photo: both sigmas at their floor, one tap each side.
        {{40, 0.5, 25, 0}, 0.25, 0.8f, 0.25f, 0, 1, 0.25, 0.25},
        {{40, 3, 25, 0}, 1, 0.8f, 0.25f, 0, 9, 1.65, 3},
        {{40, 2, 25, 0}, 0.5, 0.8f, 0.25f, 0, 3, 0.55, 1},
        {{75, 1, 50, 25}, nan, 1.5f, 0.5f, 0.25f, 3, 0.55, 1},  // a non-finite scale is 1
        {{75, 1.5, 50, 25}, 4, 1.5f, 0.5f, 0.25f, 5, 0.825, 1.5},
        {{75, 3, 50, 25}, 0.001, 1.5f, 0.5f, 0.25f, 1, 0.25, 0.25},  // as 0.01
        {{900, 40, -5, 300}, 1, 3.0f, 0.0f, 1.0f, 9, 1.65, 3},       // sanitised
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << c.settings.amount << " " << c.settings.radius << " " << c.scale);
        const auto p = SharpeningKernel::parameters(c.settings, c.scale);
        EXPECT_EQ(p.uniforms.amount, c.amount);
        EXPECT_EQ(p.uniforms.detail, c.detail);
        EXPECT_EQ(p.uniforms.masking, c.masking);
        EXPECT_EQ(p.uniforms.support, c.support);
        EXPECT_NEAR(sigmaOf(p, &float2::x), c.fineSigma, 1e-3);
        EXPECT_NEAR(sigmaOf(p, &float2::y), c.coarseSigma, 1e-3);
        float2 sum{};
        for (int k = -kSharpenMaxSupport; k <= kSharpenMaxSupport; ++k) {
            const float2 tap = p.weights.taps[k + kSharpenMaxSupport];
            if (std::abs(k) > c.support) {
                EXPECT_EQ(tap, (float2{0, 0})) << k;
            }
            sum += tap;
        }
        EXPECT_NEAR(sum.x, 1.0f, 1e-6f);
        EXPECT_NEAR(sum.y, 1.0f, 1e-6f);
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
    const Case cases[] = {
        {"gentle",
         {30, 1, 25, 0},
         1.0,
         true,
         {{4, {0.38518f, 0.38518f, 0.38518f}},
          {9, {0.56716f, 0.56716f, 0.56716f}},
          {11, {0.41287f, 0.41287f, 0.41287f}},
          {15, {0.185f, 0.185f, 0.185f}},
          {16, {0.22607f, 0.22607f, 0.22607f}}}},
        {"fine detail",
         {60, 0.7, 100, 0},
         1.0,
         true,
         {{4, {0.38165f, 0.38165f, 0.38165f}},
          {9, {0.57552f, 0.57552f, 0.57552f}},
          {11, {0.42934f, 0.42934f, 0.42934f}},
          {16, {0.225f, 0.225f, 0.225f}}}},
        {"masked at half size",
         {100, 2, 50, 60},
         0.5,
         true,
         {{4, {0.34615f, 0.34615f, 0.34615f}},
          {9, {0.5907f, 0.5907f, 0.5907f}},
          {11, {0.45101f, 0.45101f, 0.45101f}}}},
        {"scale above one counts as one",
         {50, 1.5, 0, 0},
         1.5,
         true,
         {{4, {0.36471f, 0.36471f, 0.36471f}},
          {6, {0.38176f, 0.38176f, 0.38176f}},
          {9, {0.5924f, 0.5924f, 0.5924f}},
          {16, {0.225f, 0.225f, 0.225f}}}},
        {"widest",
         {150, 3, 60, 0},
         1.0,
         true,
         {{3, {0.49312f, 0.49312f, 0.49312f}},
          {6, {0.335f, 0.335f, 0.335f}},
          {9, {0.598f, 0.598f, 0.598f}},
          {11, {0.43748f, 0.43748f, 0.43748f}},
          {16, {0.225f, 0.225f, 0.225f}}}},
        {"both sigmas at their floor",
         {80, 0.5, 25, 0},
         0.25,
         true,
         {{4, {0.4f, 0.4f, 0.4f}}, {9, {0.55f, 0.55f, 0.55f}}, {16, {0.3f, 0.3f, 0.3f}}}},
        {"band pass",
         {150, 2.5, 0, 0},
         1.0,
         true,
         {{2, {0.598f, 0.598f, 0.598f}},
          {6, {0.335f, 0.335f, 0.335f}},
          {11, {0.41537f, 0.41537f, 0.41537f}},
          {16, {0.225f, 0.225f, 0.225f}}}},
        {"no channel leaves 0...1",
         {150, 1, 100, 0},
         1.0,
         false,
         {{10, {0.5f, 0.25f, 0.0f}}, {11, {0.5f, 0.25f, 0.0f}}, {12, {0.95f, 0.9f, 1.0f}}}},
    };
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

TEST_F(SharpeningKernelTest, EncodesTwoScalePassesAndTheApplyPass) {
    const auto input = image(70, 20, [](int, int) { return float4{}; });
    const auto output = image(70, 20, [](int, int) { return float4{}; });
    const std::shared_ptr<CommandBuffer> buffer = queue->makeCommandBuffer();
    kernel.encode(input, output, {40, 1, 25, 0}, 1, *buffer);
    const auto& passes = buffer->passes();
    ASSERT_EQ(passes.size(), 3u);
    const char* labels[] = {"Detail: luminance scales", "Detail: luminance scales",
                            "Detail: masked sharpening"};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(passes[i].label, labels[i]);
        const ComputeDispatch& d = passes[i].dispatches.at(0);
        EXPECT_EQ(d.threadsPerGrid, (GridSize{70, 20}));
        EXPECT_EQ(d.threadsPerThreadgroup, (GridSize{32, 8}));
        EXPECT_EQ(d.buffers[1].isBound(), i < 2) << "weights go to the separable passes only";
    }
    const auto& rowScales = passes[0].dispatches[0].textures[1];
    const auto& scales = passes[1].dispatches[0].textures[1];
    EXPECT_EQ(passes[1].dispatches[0].textures[0], rowScales);
    EXPECT_EQ(passes[2].dispatches[0].textures[2], scales);
    for (const auto& texture : {rowScales, scales}) {
        EXPECT_EQ(texture->pixelFormat(), PixelFormat::rg16Float);
        EXPECT_EQ(texture->storageMode(), StorageMode::devicePrivate);
    }
}

TEST_F(SharpeningKernelTest, ReportsWhatCannotBeBuiltOrEncoded) {
    KernelLibrary partial;
    partial.add("sharpen_horizontal", [](const KernelArguments&, RowRange) {});
    partial.add("sharpen_apply", [](const KernelArguments&, RowRange) {});
    try {
        SharpeningKernel broken(device, partial);
        FAIL() << "built without its vertical pass";
    } catch (const KernelError& error) {
        EXPECT_EQ(error.functionName(), "sharpen_vertical");
    }
    const auto input = image(64, 64, [](int, int) { return float4{}; });
    const std::shared_ptr<CommandBuffer> committed = queue->makeCommandBuffer();
    committed->commit();
    try {
        kernel.encode(input, image(64, 64, [](int, int) { return float4{}; }), {40, 1, 25, 0}, 1,
                      *committed);
        FAIL() << "encoded on a committed buffer";
    } catch (const KernelError& error) {
        EXPECT_EQ(error.code(), KernelError::Code::encoderCreationFailed);
    }
    const SharpeningKernel starved(std::make_shared<Device>(8 * 1024));  // no room for 16 KiB
    const std::shared_ptr<CommandBuffer> buffer = queue->makeCommandBuffer();
    EXPECT_THROW(starved.encode(input, image(64, 64, [](int, int) { return float4{}; }),
                                {40, 1, 25, 0}, 1, *buffer),
                 BufferError);
    EXPECT_THROW(kernel.encode(input, input, {40, 1, 25, 0}, 1, *buffer), std::invalid_argument);
}

}  // namespace
}  // namespace quillmere
