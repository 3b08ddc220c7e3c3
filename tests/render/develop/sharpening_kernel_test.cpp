#include "core/render/develop/sharpening_kernel.h"

#include <gtest/gtest.h>
#include <tbb/global_control.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "core/compute/half_float.h"
#include "core/compute/luminance.h"
#include "core/compute/msl_math.h"
#include "core/compute/kernel_errors.h"
#include "tests/fixtures/texture_fixtures.h"

namespace quillmere {
namespace {

using msl::float2;
using msl::float4;

SharpeningSettings settings(double amount, double radius, double detail, double masking) {
    return {.amount = amount, .radius = radius, .detail = detail, .masking = masking};
}

// The sigma of one Gaussian column (x fine, y coarse), from the ratio of its first two taps.
double sigmaOf(const SharpeningKernel::Parameters& p, float float2::*column) {
    const double ratio = static_cast<double>(p.weights.taps[kSharpenMaxSupport + 1].*column) /
                         static_cast<double>(p.weights.taps[kSharpenMaxSupport].*column);
    return std::sqrt(-0.5 / std::log(ratio));
}

TEST(SharpeningParametersTest, ScaleTheRadiusWithTheRenderDownToTheSmallestSigmas) {
    // Radius 0.5 at a quarter of the photo's width: both sigmas sit at their floor of 0.25, so
    // the Gaussians coincide and only the finest term sharpens.
    const auto tiny = SharpeningKernel::parameters(settings(40, 0.5, 25, 0), 0.25);
    EXPECT_EQ(tiny.uniforms.support, 1);
    EXPECT_NEAR(sigmaOf(tiny, &float2::x), 0.25, 1e-4);
    for (const float2& tap : tiny.weights.taps) EXPECT_EQ(tap.x, tap.y);

    const auto widest = SharpeningKernel::parameters(settings(40, 3, 25, 0), 1);
    EXPECT_EQ(widest.uniforms.support, 9);
    EXPECT_NEAR(sigmaOf(widest, &float2::y), 3.0, 1e-3);
    EXPECT_NEAR(sigmaOf(widest, &float2::x), 1.65, 1e-3);
    EXPECT_EQ(SharpeningKernel::parameters(settings(40, 2, 25, 0), 0.5).uniforms.support, 3);

    // The scale counts within 0.01...1; a non-finite scale leaves the radius as set.
    const auto s = settings(60, 2, 40, 30);
    const auto same = [](const SharpeningKernel::Parameters& a,
                         const SharpeningKernel::Parameters& b) {
        return a.uniforms.support == b.uniforms.support &&
               std::equal(std::begin(a.weights.taps), std::end(a.weights.taps),
                          std::begin(b.weights.taps));
    };
    const auto full = SharpeningKernel::parameters(s, 1);
    EXPECT_TRUE(same(SharpeningKernel::parameters(s, std::nan("")), full));
    EXPECT_TRUE(same(SharpeningKernel::parameters(s, 4), full));
    EXPECT_TRUE(
        same(SharpeningKernel::parameters(s, 0.001), SharpeningKernel::parameters(s, 0.01)));
    EXPECT_FALSE(same(SharpeningKernel::parameters(s, 0.5), full));
}

TEST(SharpeningParametersTest, NormaliseTheWeightsAndSanitiseTheUniforms) {
    for (const double radius : {0.5, 1.0, 1.7, 3.0}) {
        const auto p = SharpeningKernel::parameters(settings(40, radius, 25, 0), 1);
        float2 sum{};
        for (int k = -kSharpenMaxSupport; k <= kSharpenMaxSupport; ++k) {
            const float2 tap = p.weights.taps[k + kSharpenMaxSupport];
            sum += tap;
            if (std::abs(k) > p.uniforms.support) {
                EXPECT_EQ(tap, (float2{0, 0})) << k;
            }
        }
        EXPECT_NEAR(sum.x, 1.0f, 1e-6f);
        EXPECT_NEAR(sum.y, 1.0f, 1e-6f);
    }
    const auto p = SharpeningKernel::parameters(settings(75, 1, 50, 25), 1);
    EXPECT_EQ(p.uniforms.amount, 1.5f);
    EXPECT_EQ(p.uniforms.detail, 0.5f);
    EXPECT_EQ(p.uniforms.masking, 0.25f);
    EXPECT_EQ(SharpeningKernel::parameters(settings(900, 40, 0, 0), 1).uniforms.amount, 3.0f);
}

class SharpeningKernelTest : public ::testing::Test {
  protected:
    std::shared_ptr<Texture> sharpen(const std::shared_ptr<Texture>& input,
                                     const SharpeningSettings& s, double scale = 1,
                                     PixelFormat outputFormat = PixelFormat::rgba32Float) {
        const auto output = blank(outputFormat, input->width(), input->height());
        const std::shared_ptr<CommandBuffer> buffer = queue->makeCommandBuffer();
        kernel.encode(input, output, s, scale, *buffer);
        buffer->commit();
        EXPECT_EQ(buffer->status(), CommandBufferStatus::completed);
        return output;
    }

    std::shared_ptr<Texture> blank(PixelFormat format, int width, int height) {
        return testing::makeTexture(*device, format, width, height,
                                    [](int, int) { return float4{}; });
    }

    // Colour with values drawn from `low`...`high`, alpha 0.75.
    std::shared_ptr<Texture> noisy(int width, int height, float low, float high) {
        std::mt19937 random(7);
        std::uniform_real_distribution<float> value(low, high);
        return testing::makeTexture(*device, PixelFormat::rgba16Float, width, height,
                                    [&](int x, int y) {
                                        const float base = (x * 7 + y * 3) % 23 < 11 ? 0.3f : 0.6f;
                                        return float4{base + value(random), base + value(random),
                                                      base * 0.5f + value(random), 0.75f};
                                    });
    }

    std::shared_ptr<const Device> device = std::make_shared<Device>();
    std::shared_ptr<CommandQueue> queue = device->makeCommandQueue();
    SharpeningKernel kernel{device};
};

float luma(const float4& texel) { return msl::dot(texel.xyz(), kRec709Luma); }
float halfRounded(float value) { return halfToFloat(floatToHalf(value)); }

// The three passes written out plainly from their description: every read clamped to the image,
// the scale images rounded to half as their textures store them, the neighbourhood visited row by
// row from below.
std::vector<float4> referenceSharpen(const Texture& input, const SharpeningKernel::Parameters& p) {
    const int w = input.width(), h = input.height(), s = p.uniforms.support;
    const auto at = [&](int x, int y) {
        return static_cast<std::size_t>(std::clamp(y, 0, h - 1) * w + std::clamp(x, 0, w - 1));
    };
    const auto lumaAt = [&](int x, int y) {
        return luma(input.read(std::clamp(x, 0, w - 1), std::clamp(y, 0, h - 1)));
    };
    const auto weight = [&](int k) { return p.weights.taps[k + kSharpenMaxSupport]; };
    std::vector<float2> rows(static_cast<std::size_t>(w * h)), scales(rows.size());
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            float2 sum{};
            for (int k = -s; k <= s; ++k) sum += lumaAt(x + k, y) * weight(k);
            rows[at(x, y)] = {halfRounded(sum.x), halfRounded(sum.y)};
        }
    }
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            float2 sum{};
            for (int k = -s; k <= s; ++k) sum += rows[at(x, y + k)] * weight(k);
            scales[at(x, y)] = {halfRounded(sum.x), halfRounded(sum.y)};
        }
    }
    const SharpenUniforms& u = p.uniforms;
    std::vector<float4> result(rows.size());
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const float4 pixel = input.read(x, y);
            const float l = luma(pixel), bf = scales[at(x, y)].x, bc = scales[at(x, y)].y;
            float residual = (bf - bc) + msl::mix(0.35f, 1.4f, u.detail) * (l - bf);
            residual *=
                msl::smoothstep(0.0f, msl::mix(0.0035f, 0.00015f, u.detail), std::fabs(residual));
            float low = l, high = l, gx = 0, gy = 0;
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    const std::size_t q = at(x + dx, y + dy);
                    const float n = lumaAt(x + dx, y + dy);
                    low = msl::min(low, n);
                    high = msl::max(high, n);
                    gx += static_cast<float>(dx * (dy == 0 ? 2 : 1)) * scales[q].x * 0.25f;
                    gy += static_cast<float>(dy * (dx == 0 ? 2 : 1)) * scales[q].x * 0.25f;
                }
            }
            const float lower = 0.002f + 0.07f * u.masking * u.masking;
            const float upper = lower + 0.015f + 0.06f * u.masking;
            const float edge = std::sqrt(gx * gx + gy * gy);
            const float mask =
                msl::mix(1.0f, msl::smoothstep(lower, upper, edge), std::sqrt(u.masking));
            const float allowance = msl::min(0.06f, (high - low) * 0.15f);
            float delta =
                msl::clamp(l + u.amount * residual * mask, low - allowance, high + allowance) - l;
            delta = msl::clamp(delta, -0.075f, 0.075f);
            delta = msl::clamp(delta, -msl::min(msl::min(pixel.x, pixel.y), pixel.z),
                               1.0f - msl::max(msl::max(pixel.x, pixel.y), pixel.z));
            result[at(x, y)] = {pixel.xyz() + delta, pixel.w};
        }
    }
    return result;
}

TEST_F(SharpeningKernelTest, MatchesThePassesWrittenOutPlainly) {
    struct Case {
        int width, height;
        SharpeningSettings settings;
        double scale;
        float low, high;        // channel values around the base
        bool poisoned = false;  // a NaN and an infinity among them
    };
    const Case cases[] = {
        {41, 29, settings(150, 3, 100, 0), 1, -0.04f, 0.04f},  // widest support, finest detail
        {100, 90, settings(40, 1, 25, 0), 1, -0.04f, 0.04f},   // several row bands per call
        {37, 33, settings(90, 1.5, 60, 70), 0.6, -0.04f, 0.04f},
        {23, 17, settings(120, 0.5, 0, 100), 0.25, -0.04f, 0.04f},
        {19, 15, settings(150, 1.2, 70, 30), 1, -0.5f, 0.9f, true},  // outside 0...1
        {1, 1, settings(150, 3, 50, 50), 1, -0.04f, 0.04f},
        {2, 1, settings(100, 2, 50, 20), 1, -0.04f, 0.04f},
        {1, 13, settings(100, 3, 80, 10), 1, -0.04f, 0.04f},
    };
    for (const Case& c : cases) {
        const auto input = noisy(c.width, c.height, c.low, c.high);
        if (c.poisoned) {
            input->write({std::nanf(""), 0.5f, 0.5f, 1.0f}, 4, 6);
            input->write({0.5f, INFINITY, 0.5f, 1.0f}, 12, 3);
        }
        const auto expected =
            referenceSharpen(*input, SharpeningKernel::parameters(c.settings, c.scale));
        const auto actual = testing::readTexels(*sharpen(input, c.settings, c.scale));
        for (std::size_t i = 0; i < expected.size(); ++i) {
            for (int k = 0; k < 4; ++k) {
                const float e = expected[i][k], a = actual[i][k];
                ASSERT_TRUE(a == e || (std::isnan(a) && std::isnan(e)))
                    << c.width << "×" << c.height << " texel " << i << ": " << a << " ≠ " << e;
            }
        }
    }
}

TEST_F(SharpeningKernelTest, GivesTheSameBytesWithOneThreadAndWithMany) {
    const auto input = noisy(517, 203, -0.04f, 0.04f);
    const auto run = [&](std::size_t threads) {
        const tbb::global_control limit(tbb::global_control::max_allowed_parallelism, threads);
        return testing::readBytes(
            *sharpen(input, settings(80, 2.5, 40, 20), 1, PixelFormat::rgba16Float));
    };
    EXPECT_EQ(run(1), run(8));
}

TEST_F(SharpeningKernelTest, LeavesFlatAreasAloneAndKeepsEveryChannelInRange) {
    const auto flat = testing::makeTexture(*device, PixelFormat::rgba16Float, 30, 20, [](int, int) {
        return float4{0.4f, 0.5f, 0.2f, 1};
    });
    EXPECT_EQ(
        testing::readBytes(*sharpen(flat, settings(150, 3, 100, 0), 1, PixelFormat::rgba16Float)),
        testing::readBytes(*flat));

    // Stripes of saturated colours, each with a channel at 0 or at 1, bright and dark in turn:
    // a channel at 0 is never darkened, one at 1 never brightened, the rest still sharpen.
    const float4 colours[] = {
        {0.9f, 0.8f, 0.0f, 1}, {0.3f, 0.1f, 1.0f, 1}, {1.0f, 0.6f, 0.3f, 1}, {0.3f, 0.1f, 0.0f, 1}};
    const auto stripes = testing::makeTexture(*device, PixelFormat::rgba32Float, 36, 8,
                                              [&](int x, int) { return colours[x / 3 % 4]; });
    const auto output = sharpen(stripes, settings(150, 1, 100, 0));
    int changed = 0;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 36; ++x) {
            const float4 before = stripes->read(x, y), after = output->read(x, y);
            const float delta = after.y - before.y;
            for (int c = 0; c < 3; ++c) {
                EXPECT_NEAR(after[c] - before[c], delta, 1e-6f) << "one offset for all channels";
                EXPECT_TRUE(before[c] != 0.0f || delta >= 0.0f) << "a channel at 0 is darkened";
                EXPECT_TRUE(before[c] != 1.0f || delta <= 0.0f) << "a channel at 1 is brightened";
            }
            changed += delta != 0.0f;
        }
    }
    EXPECT_GT(changed, 8 * 6);
}

TEST_F(SharpeningKernelTest, FullMaskingSharpensOnlyAlongEdges) {
    // Left: faint texture without edges. Right: a strong vertical edge.
    std::mt19937 random(12);
    std::uniform_real_distribution<float> grain(-0.01f, 0.01f);
    const auto input =
        testing::makeTexture(*device, PixelFormat::rgba32Float, 60, 24, [&](int x, int) {
            const float v = x < 30 ? 0.5f + grain(random) : (x < 45 ? 0.2f : 0.8f);
            return float4{v, v, v, 1.0f};
        });
    const auto changedInTexture = [&](const Texture& output) {
        int changed = 0;
        for (int y = 0; y < 24; ++y) {
            for (int x = 0; x < 26; ++x) changed += output.read(x, y) != input->read(x, y);
        }
        return changed;
    };
    const auto masked = sharpen(input, settings(150, 1, 100, 100));
    EXPECT_EQ(changedInTexture(*masked), 0);
    EXPECT_LT(masked->read(44, 10).x, 0.2f) << "the edge is still sharpened";
    EXPECT_GT(masked->read(45, 10).x, 0.8f);
    EXPECT_GT(changedInTexture(*sharpen(input, settings(150, 1, 100, 0))), 24 * 26 / 2)
        << "masking 0 sharpens everywhere";
}

TEST_F(SharpeningKernelTest, EncodesTwoScalePassesAndTheApplyPass) {
    const auto input = noisy(70, 20, -0.04f, 0.04f);
    const auto output = blank(PixelFormat::rgba16Float, 70, 20);
    const std::shared_ptr<CommandBuffer> buffer = queue->makeCommandBuffer();
    kernel.encode(input, output, settings(40, 1, 25, 0), 1, *buffer);
    const auto& passes = buffer->passes();
    ASSERT_EQ(passes.size(), 3u);
    const char* labels[] = {"Detail: luminance scales", "Detail: luminance scales",
                            "Detail: masked sharpening"};
    const char* functions[] = {"sharpen_horizontal", "sharpen_vertical", "sharpen_apply"};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(passes[i].label, labels[i]);
        const ComputeDispatch& d = passes[i].dispatches.at(0);
        EXPECT_EQ(d.pipeline->functionName(), functions[i]);
        EXPECT_EQ(d.threadsPerGrid, (GridSize{70, 20}));
        EXPECT_EQ(d.threadsPerThreadgroup, (GridSize{32, 8}));
        EXPECT_EQ(d.buffers[1].isBound(), i < 2) << "weights go to the separable passes only";
    }
    const auto& rowScales = passes[0].dispatches[0].textures[1];
    const auto& scales = passes[1].dispatches[0].textures[1];
    EXPECT_EQ(passes[0].dispatches[0].textures[0], input);
    EXPECT_EQ(passes[1].dispatches[0].textures[0], rowScales);
    EXPECT_EQ(passes[2].dispatches[0].textures[0], input);
    EXPECT_EQ(passes[2].dispatches[0].textures[1], output);
    EXPECT_EQ(passes[2].dispatches[0].textures[2], scales);
    EXPECT_NE(rowScales, scales);
    for (const auto& texture : {rowScales, scales}) {
        EXPECT_EQ(texture->pixelFormat(), PixelFormat::rg16Float);
        EXPECT_EQ(texture->storageMode(), StorageMode::devicePrivate);
        EXPECT_EQ((GridSize{texture->width(), texture->height()}), (GridSize{70, 20}));
    }
    EXPECT_EQ(output->read(0, 0), float4{}) << "encoding runs nothing";
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

    const auto input = noisy(64, 64, -0.04f, 0.04f);
    const auto output = blank(PixelFormat::rgba16Float, 64, 64);
    const std::shared_ptr<CommandBuffer> committed = queue->makeCommandBuffer();
    committed->commit();
    try {
        kernel.encode(input, output, settings(40, 1, 25, 0), 1, *committed);
        FAIL() << "encoded on a committed buffer";
    } catch (const KernelError& error) {
        EXPECT_EQ(error.code(), KernelError::Code::encoderCreationFailed);
    }
    // A device without room for one 64 × 64 scale texture (16 KiB).
    const SharpeningKernel starved(std::make_shared<Device>(8 * 1024));
    const std::shared_ptr<CommandBuffer> buffer = queue->makeCommandBuffer();
    EXPECT_THROW(starved.encode(input, output, settings(40, 1, 25, 0), 1, *buffer), BufferError);
    EXPECT_THROW(kernel.encode(input, input, settings(40, 1, 25, 0), 1, *buffer),
                 std::invalid_argument);
    EXPECT_THROW(kernel.encode(input, blank(PixelFormat::rgba16Float, 64, 63),
                               settings(40, 1, 25, 0), 1, *buffer),
                 std::invalid_argument);
    EXPECT_TRUE(buffer->passes().empty());
}

}  // namespace
}  // namespace quillmere
