#include "core/decode/raw_texture_kernel.h"

#include <gtest/gtest.h>
#include <tbb/global_control.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "core/compute/device.h"
#include "core/compute/luminance.h"
#include "core/compute/msl_math.h"
#include "core/compute/kernel_errors.h"
#include "tests/fixtures/texture_fixtures.h"

namespace quillmere {
namespace {

using msl::float3;
using msl::float4;

class RAWTextureKernelTest : public ::testing::Test {
  protected:
    // Runs the kernel once over `input` and returns the output texture.
    std::shared_ptr<Texture> smooth(const std::shared_ptr<Texture>& input) {
        const auto output =
            testing::makeTexture(device, input->pixelFormat(), input->width(), input->height(),
                                 [](int, int) { return float4{}; });
        const std::shared_ptr<CommandBuffer> buffer = queue->makeCommandBuffer();
        kernel.encode(input, output, *buffer);
        buffer->commit();
        buffer->waitUntilCompleted();
        EXPECT_EQ(buffer->status(), CommandBufferStatus::completed);
        return output;
    }

    std::shared_ptr<Texture> noisyColour(PixelFormat format, int width, int height, unsigned seed) {
        std::mt19937 random(seed);
        std::uniform_real_distribution<float> value(-0.1f, 1.6f);
        return testing::makeTexture(device, format, width, height, [&](int, int) {
            return float4{value(random), value(random), value(random), value(random)};
        });
    }

    Device device;
    std::shared_ptr<CommandQueue> queue = device.makeCommandQueue();
    RAWTextureKernel kernel;
};

// The kernel's formula evaluated directly, with every neighbour read clamped to the image.
float4 reference(const Texture& input, int px, int py) {
    const float4 centre = input.read(px, py);
    const float y = msl::dot(centre.xyz(), kRec709Luma);
    float3 chroma;
    float total = 0.0f;
    for (int dy = -3; dy <= 3; ++dy) {
        for (int dx = -3; dx <= 3; ++dx) {
            const float3 n = input
                                 .read(std::clamp(px + dx, 0, input.width() - 1),
                                       std::clamp(py + dy, 0, input.height() - 1))
                                 .xyz();
            const float ny = msl::dot(n, kRec709Luma);
            const float sigma = 0.005f + 0.35f * msl::max(std::fabs(y), std::fabs(ny));
            const float diff = (ny - y) / sigma;
            const float weight =
                std::exp(-static_cast<float>(dx * dx + dy * dy) / 8.0f - diff * diff * 0.5f);
            chroma += (n - ny) * weight;
            total += weight;
        }
    }
    return {y + chroma / total, centre.w};
}

TEST_F(RAWTextureKernelTest, MatchesTheFormulaEverywhereIncludingTheRepeatedBorders) {
    for (const auto& [width, height] : {std::pair{19, 11}, std::pair{2, 1}, std::pair{1, 9}}) {
        const auto input = noisyColour(PixelFormat::rgba32Float, width, height, 3);
        const auto output = smooth(input);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const float4 expected = reference(*input, x, y);
                const float4 actual = output->read(x, y);
                for (int c = 0; c < 4; ++c) {
                    ASSERT_NEAR(actual[c], expected[c],
                                1e-6f * std::max(1.0f, std::fabs(expected[c])))
                        << width << "×" << height << " at " << x << ", " << y << " channel " << c;
                }
            }
        }
    }
}

TEST_F(RAWTextureKernelTest, KeepsEveryPixelsLuminanceAndItsAlpha) {
    const auto input = noisyColour(PixelFormat::rgba32Float, 40, 30, 11);
    const auto output = smooth(input);
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 40; ++x) {
            const float4 before = input->read(x, y), after = output->read(x, y);
            ASSERT_NEAR(msl::dot(after.xyz(), kRec709Luma), msl::dot(before.xyz(), kRec709Luma),
                        2e-6f);
            ASSERT_EQ(after.w, before.w);
        }
    }
}

TEST_F(RAWTextureKernelTest, GreyAndUniformColourPassUnchangedUnclamped) {
    std::mt19937 random(5);
    std::uniform_real_distribution<float> level(-0.2f, 6.0f);
    const auto grey = testing::makeTexture(device, PixelFormat::rgba16Float, 23, 17, [&](int, int) {
        const float v = level(random);
        return float4{v, v, v, 0.5f};
    });
    EXPECT_EQ(testing::readBytes(*smooth(grey)), testing::readBytes(*grey));

    const float4 extended{2.5f, 1.75f, -0.125f, 0.25f};
    const auto uniform = testing::makeTexture(device, PixelFormat::rgba16Float, 9, 9,
                                              [&](int, int) { return extended; });
    EXPECT_EQ(testing::readBytes(*smooth(uniform)), testing::readBytes(*uniform));
}

TEST_F(RAWTextureKernelTest, ColourDoesNotCrossAStrongLuminanceEdge) {
    // Left of column 8 a dark bluish colour, right of it a colour of another hue. How far does
    // the pixel just left of the edge move towards the right side's chroma?
    const float3 dark{0.01f, 0.02f, 0.06f};
    const float3 other{1.6f, 0.9f, 0.2f};
    const auto pull = [&](float3 right) {
        const auto input =
            testing::makeTexture(device, PixelFormat::rgba32Float, 16, 9, [&](int x, int) {
                return float4{x < 8 ? dark : right, 1.0f};
            });
        const float3 result = smooth(input)->read(7, 4).xyz();
        const float3 darkChroma = dark - msl::dot(dark, kRec709Luma);
        const float3 rightChroma = right - msl::dot(right, kRec709Luma);
        const float3 moved = (result - msl::dot(result, kRec709Luma)) - darkChroma;
        return msl::dot(moved, rightChroma - darkChroma) /
               msl::dot(rightChroma - darkChroma, rightChroma - darkChroma);
    };
    // The same hue difference at equal luminance mixes freely: the range weight is what stops it.
    const float3 sameLuminance =
        other * (msl::dot(dark, kRec709Luma) / msl::dot(other, kRec709Luma));
    EXPECT_GT(pull(sameLuminance), 0.3f);
    EXPECT_LT(pull(other), 0.05f);
}

TEST_F(RAWTextureKernelTest, GivesTheSameBytesWithOneThreadAndWithMany) {
    const auto input = noisyColour(PixelFormat::rgba16Float, 333, 207, 17);
    const auto run = [&](std::size_t threads) {
        const tbb::global_control limit(tbb::global_control::max_allowed_parallelism, threads);
        return testing::readBytes(*smooth(input));
    };
    EXPECT_EQ(run(1), run(8));
}

TEST_F(RAWTextureKernelTest, EncodesOneLabelledPassOverTheOutput) {
    const auto input = noisyColour(PixelFormat::rgba16Float, 70, 20, 1);
    const auto output = testing::makeTexture(device, PixelFormat::rgba16Float, 70, 20,
                                             [](int, int) { return float4{}; });
    const std::shared_ptr<CommandBuffer> buffer = queue->makeCommandBuffer();
    kernel.encode(input, output, *buffer);
    ASSERT_EQ(buffer->passes().size(), 1u);
    const CommandPass& pass = buffer->passes()[0];
    EXPECT_EQ(pass.label, "RAW texture: chroma only");
    ASSERT_EQ(pass.dispatches.size(), 1u);
    EXPECT_EQ(pass.dispatches[0].pipeline->functionName(), "raw_texture_chroma");
    EXPECT_EQ(pass.dispatches[0].textures[0], input);
    EXPECT_EQ(pass.dispatches[0].textures[1], output);
    EXPECT_EQ(pass.dispatches[0].threadsPerGrid, (GridSize{70, 20}));
    EXPECT_EQ(pass.dispatches[0].threadsPerThreadgroup, (GridSize{32, 8}));
    EXPECT_EQ(output->read(0, 0), float4{}) << "encoding runs nothing";

    EXPECT_THROW(kernel.encode(input, noisyColour(PixelFormat::rgba16Float, 70, 19, 1), *buffer),
                 std::invalid_argument);
    EXPECT_THROW(kernel.encode(input, input, *buffer), std::invalid_argument);
}

TEST_F(RAWTextureKernelTest, ReportsAMissingFunctionAndAMissingEncoder) {
    try {
        RAWTextureKernel broken{KernelLibrary{}};
        FAIL() << "built without its function";
    } catch (const KernelError& error) {
        EXPECT_EQ(error.code(), KernelError::Code::functionNotFound);
        EXPECT_EQ(error.functionName(), "raw_texture_chroma");
        EXPECT_STREQ(error.what(),
                     "ToneKernel: MSL function 'raw_texture_chroma' not found in runtime-compiled "
                     "library");
    }
    const std::shared_ptr<CommandBuffer> committed = queue->makeCommandBuffer();
    committed->commit();
    const auto input = noisyColour(PixelFormat::rgba16Float, 4, 4, 2);
    try {
        kernel.encode(input, noisyColour(PixelFormat::rgba16Float, 4, 4, 2), *committed);
        FAIL() << "encoded on a committed buffer";
    } catch (const KernelError& error) {
        EXPECT_EQ(error.code(), KernelError::Code::encoderCreationFailed);
        EXPECT_STREQ(error.what(), "ToneKernel: could not create a compute encoder");
    }
}

}  // namespace
}  // namespace quillmere
