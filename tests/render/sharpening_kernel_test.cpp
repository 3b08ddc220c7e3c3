#include "core/render/sharpening_kernel.h"

#include <gtest/gtest.h>
#include <tbb/global_control.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "core/compute/half_float.h"
#include "core/compute/luminance.h"
#include "core/compute/msl_math.h"
#include "core/render/kernel_errors.h"
#include "tests/fixtures/texture_fixtures.h"

namespace quillmere {
namespace {

using msl::float2;
using msl::float4;

SharpeningSettings settings(double amount, double radius, double detail, double masking) {
    return {.amount = amount, .radius = radius, .detail = detail, .masking = masking};
}

float weight(const SharpeningKernel::Parameters& p, int offset, bool coarse) {
    const float2 tap = p.weights.taps[offset + kSharpenMaxSupport];
    return coarse ? tap.y : tap.x;
}

// The sigma a column's Gaussian was made with, from the ratio of its first two taps.
double sigmaOf(const SharpeningKernel::Parameters& p, bool coarse) {
    return std::sqrt(-0.5 / std::log(static_cast<double>(weight(p, 1, coarse)) /
                                     static_cast<double>(weight(p, 0, coarse))));
}

TEST(SharpeningParametersTest, ScaleTheRadiusWithTheRenderAndKeepTheSmallestSigmas) {
    // Radius 0.5 at a quarter of the photo's width: both sigmas reach their floor of 0.25, so
    // the two Gaussians coincide and only the finest term sharpens.
    const auto tiny = SharpeningKernel::parameters(settings(40, 0.5, 25, 0), 0.25);
    EXPECT_EQ(tiny.uniforms.support, 1);
    EXPECT_NEAR(sigmaOf(tiny, false), 0.25, 1e-4);
    for (const float2& tap : tiny.weights.taps) EXPECT_EQ(tap.x, tap.y);

    // Radius 3 at full size: the widest Gaussian, reaching the last tap.
    const auto widest = SharpeningKernel::parameters(settings(40, 3, 25, 0), 1);
    EXPECT_EQ(widest.uniforms.support, 9);
    EXPECT_NEAR(sigmaOf(widest, true), 3.0, 1e-3);
    EXPECT_NEAR(sigmaOf(widest, false), 1.65, 1e-3);

    const auto middle = SharpeningKernel::parameters(settings(40, 2, 25, 0), 0.5);
    EXPECT_EQ(middle.uniforms.support, 3);  // ⌈3 · 1⌉
    EXPECT_NEAR(sigmaOf(middle, true), 1.0, 1e-4);
    EXPECT_NEAR(sigmaOf(middle, false), 0.55, 1e-4);
}

TEST(SharpeningParametersTest, CountTheSourceScaleWithinItsRange) {
    const auto s = settings(60, 2, 40, 30);
    const auto full = SharpeningKernel::parameters(s, 1);
    const auto same = [](const SharpeningKernel::Parameters& a,
                         const SharpeningKernel::Parameters& b) {
        if (a.uniforms.support != b.uniforms.support) return false;
        for (int k = 0; k < kSharpenTapCount; ++k) {
            if (!(a.weights.taps[k] == b.weights.taps[k])) return false;
        }
        return true;
    };
    EXPECT_TRUE(same(SharpeningKernel::parameters(s, std::nan("")), full));
    EXPECT_TRUE(
        same(SharpeningKernel::parameters(s, std::numeric_limits<double>::infinity()), full));
    EXPECT_TRUE(same(SharpeningKernel::parameters(s, 4), full));
    EXPECT_TRUE(
        same(SharpeningKernel::parameters(s, 0.001), SharpeningKernel::parameters(s, 0.01)));
    EXPECT_FALSE(same(SharpeningKernel::parameters(s, 0.5), full));
}

TEST(SharpeningParametersTest, NormaliseBothColumnsAndWeighNothingBeyondTheSupport) {
    for (const double radius : {0.5, 0.8, 1.0, 1.7, 3.0}) {
        const auto p = SharpeningKernel::parameters(settings(40, radius, 25, 0), 1);
        float2 sum{};
        for (int k = -kSharpenMaxSupport; k <= kSharpenMaxSupport; ++k) {
            const float2 tap = p.weights.taps[k + kSharpenMaxSupport];
            sum += tap;
            if (std::abs(k) > p.uniforms.support) {
                EXPECT_EQ(tap, (float2{0, 0})) << "radius " << radius << " offset " << k;
            } else {
                EXPECT_GT(tap.x, 0.0f);
                EXPECT_EQ(tap, p.weights.taps[kSharpenMaxSupport - k]) << "symmetric";
            }
        }
        EXPECT_NEAR(sum.x, 1.0f, 1e-6f);
        EXPECT_NEAR(sum.y, 1.0f, 1e-6f);
    }
}

TEST(SharpeningParametersTest, SanitiseTheSettingsIntoTheUniforms) {
    const auto p = SharpeningKernel::parameters(settings(75, 1, 50, 25), 1);
    EXPECT_EQ(p.uniforms.amount, 1.5f);
    EXPECT_EQ(p.uniforms.detail, 0.5f);
    EXPECT_EQ(p.uniforms.masking, 0.25f);

    const auto wild = SharpeningKernel::parameters(settings(900, 40, -5, std::nan("")), 1);
    EXPECT_EQ(wild.uniforms.amount, 3.0f);
    EXPECT_EQ(wild.uniforms.detail, 0.0f);
    EXPECT_EQ(wild.uniforms.masking, 0.0f);
    EXPECT_EQ(wild.uniforms.support, 9) << "radius clamped to 3";
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

    // Display-encoded colour: a few soft edges with noise, in 0...1.
    std::shared_ptr<Texture> photo(int width, int height, unsigned seed,
                                   PixelFormat format = PixelFormat::rgba16Float) {
        std::mt19937 random(seed);
        std::uniform_real_distribution<float> noise(-0.04f, 0.04f);
        return testing::makeTexture(*device, format, width, height, [&](int x, int y) {
            const float base = (x * 7 + y * 3) % 23 < 11 ? 0.25f : 0.7f;
            const float n = noise(random);
            return float4{std::clamp(base + n, 0.0f, 1.0f), std::clamp(base * 0.9f + n, 0.0f, 1.0f),
                          std::clamp(base * 0.6f - n, 0.0f, 1.0f), 0.75f};
        });
    }

    std::shared_ptr<const Device> device = std::make_shared<Device>();
    std::shared_ptr<CommandQueue> queue = device->makeCommandQueue();
    SharpeningKernel kernel{device};
};

float halfRounded(float value) { return halfToFloat(floatToHalf(value)); }

float luma(const float4& texel) { return msl::dot(texel.xyz(), kRec709Luma); }

// The three passes written out plainly from their description, with every read clamped to the
// image and the two scale images rounded to half as their textures store them.
std::vector<float4> referenceSharpen(const Texture& input, const SharpeningKernel::Parameters& p) {
    const int w = input.width(), h = input.height(), s = p.uniforms.support;
    auto at = [&](int x, int y) {
        return static_cast<std::size_t>(std::clamp(y, 0, h - 1) * w + std::clamp(x, 0, w - 1));
    };
    std::vector<float2> rows(static_cast<std::size_t>(w * h)), scales(rows.size());
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            float2 sum{};
            for (int k = -s; k <= s; ++k) {
                sum += luma(input.read(std::clamp(x + k, 0, w - 1), y)) *
                       p.weights.taps[k + kSharpenMaxSupport];
            }
            rows[at(x, y)] = {halfRounded(sum.x), halfRounded(sum.y)};
        }
    }
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            float2 sum{};
            for (int k = -s; k <= s; ++k)
                sum += rows[at(x, y + k)] * p.weights.taps[k + kSharpenMaxSupport];
            scales[at(x, y)] = {halfRounded(sum.x), halfRounded(sum.y)};
        }
    }
    const SharpenUniforms& u = p.uniforms;
    std::vector<float4> result(rows.size());
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const float4 pixel = input.read(x, y);
            const float l = luma(pixel);
            const float bf = scales[at(x, y)].x, bc = scales[at(x, y)].y;
            float residual = (bf - bc) + msl::mix(0.35f, 1.4f, u.detail) * (l - bf);
            residual *=
                msl::smoothstep(0.0f, msl::mix(0.0035f, 0.00015f, u.detail), std::fabs(residual));
            float low = l, high = l, gx = 0, gy = 0;
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    const float n = luma(
                        input.read(std::clamp(x + dx, 0, w - 1), std::clamp(y + dy, 0, h - 1)));
                    low = msl::min(low, n);
                    high = msl::max(high, n);
                    const float f = scales[at(x + dx, y + dy)].x;
                    gx += static_cast<float>(dx * (dy == 0 ? 2 : 1)) * f * 0.25f;
                    gy += static_cast<float>(dy * (dx == 0 ? 2 : 1)) * f * 0.25f;
                }
            }
            const float edge = std::sqrt(gx * gx + gy * gy);
            const float lower = 0.002f + 0.07f * u.masking * u.masking;
            const float upper = lower + 0.015f + 0.06f * u.masking;
            const float mask =
                msl::mix(1.0f, msl::smoothstep(lower, upper, edge), std::sqrt(u.masking));
            float delta = u.amount * residual * mask;
            const float allowance = msl::min(0.06f, (high - low) * 0.15f);
            delta = msl::clamp(l + delta, low - allowance, high + allowance) - l;
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
    };
    const Case cases[] = {
        {41, 29, settings(150, 3, 100, 0), 1},     // widest support, finest detail
        {64, 20, settings(40, 1, 25, 0), 1},       // the classic RAW setting
        {37, 33, settings(90, 1.5, 60, 70), 0.6},  // strong masking at a reduced scale
        {23, 17, settings(120, 0.5, 0, 100), 0.25}, {1, 1, settings(150, 3, 50, 50), 1},
        {2, 1, settings(100, 2, 50, 20), 1},        {1, 13, settings(100, 3, 80, 10), 1},
    };
    for (const Case& c : cases) {
        const auto input = photo(c.width, c.height, 7);
        const auto expected =
            referenceSharpen(*input, SharpeningKernel::parameters(c.settings, c.scale));
        const auto actual = testing::readTexels(*sharpen(input, c.settings, c.scale));
        for (std::size_t i = 0; i < expected.size(); ++i) {
            ASSERT_EQ(actual[i], expected[i]) << c.width << "×" << c.height << " texel " << i;
        }
    }
}

TEST_F(SharpeningKernelTest, FollowsTheSameRulesOnValuesOutsideTheDisplayRange) {
    // Not what the tone pass hands over, but the kernel must not make up its own rules for it:
    // channels above 1 or below 0, and a NaN and an infinity, follow the formulas as written.
    std::mt19937 random(3);
    std::uniform_real_distribution<float> value(-0.3f, 1.5f);
    const auto input =
        testing::makeTexture(*device, PixelFormat::rgba32Float, 19, 15, [&](int x, int y) {
            if (x == 4 && y == 6) return float4{std::nanf(""), 0.5f, 0.5f, 1.0f};
            if (x == 12 && y == 3) return float4{0.5f, INFINITY, 0.5f, 1.0f};
            return float4{value(random), value(random), value(random), 1.0f};
        });
    const auto s = settings(150, 1.2, 70, 30);
    const auto expected = referenceSharpen(*input, SharpeningKernel::parameters(s, 1));
    const auto actual = testing::readTexels(*sharpen(input, s));
    for (std::size_t i = 0; i < expected.size(); ++i) {
        for (int c = 0; c < 4; ++c) {
            if (std::isnan(expected[i][c])) {
                EXPECT_TRUE(std::isnan(actual[i][c])) << "texel " << i;
            } else {
                EXPECT_EQ(actual[i][c], expected[i][c]) << "texel " << i << " channel " << c;
            }
        }
    }
}

TEST_F(SharpeningKernelTest, GivesTheSameBytesWithOneThreadAndWithMany) {
    const auto input = photo(517, 203, 9);
    const auto run = [&](std::size_t threads) {
        const tbb::global_control limit(tbb::global_control::max_allowed_parallelism, threads);
        return testing::readBytes(
            *sharpen(input, settings(80, 2.5, 40, 20), 1, PixelFormat::rgba16Float));
    };
    EXPECT_EQ(run(1), run(8));
}

TEST_F(SharpeningKernelTest, AddsOneOffsetToAllChannelsAndKeepsAlpha) {
    const auto input = photo(48, 32, 4, PixelFormat::rgba32Float);
    const auto output = sharpen(input, settings(150, 1, 100, 0));
    int changed = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 48; ++x) {
            const float4 before = input->read(x, y), after = output->read(x, y);
            const float delta = after.x - before.x;
            EXPECT_NEAR(after.y - before.y, delta, 1e-6f);
            EXPECT_NEAR(after.z - before.z, delta, 1e-6f);
            EXPECT_EQ(after.w, before.w);
            EXPECT_LE(std::fabs(delta), 0.075f + 1e-6f);
            changed += delta != 0.0f;
        }
    }
    EXPECT_GT(changed, 48 * 32 / 2) << "a noisy image with edges is sharpened";
}

TEST_F(SharpeningKernelTest, LeavesFlatAreasAloneWhateverTheAmount) {
    const float4 colour{0.4f, 0.55f, 0.2f, 1.0f};
    const auto flat = testing::makeTexture(*device, PixelFormat::rgba16Float, 30, 20,
                                           [&](int, int) { return colour; });
    for (const auto& s : {settings(150, 3, 100, 0), settings(150, 0.5, 0, 100)}) {
        EXPECT_EQ(testing::readBytes(*sharpen(flat, s, 1, PixelFormat::rgba16Float)),
                  testing::readBytes(*flat));
    }
}

TEST_F(SharpeningKernelTest, NeverPushesAChannelOutOfRange) {
    // Stripes of saturated colours, each with a channel at 0 or at 1, bright and dark in turn.
    const float4 colours[] = {
        {0.9f, 0.8f, 0.0f, 1.0f},  // bright, may be brightened
        {0.3f, 0.1f, 1.0f, 1.0f},  // dark, may be darkened
        {1.0f, 0.6f, 0.3f, 1.0f},  // bright, may not be brightened
        {0.3f, 0.1f, 0.0f, 1.0f},  // dark, may not be darkened
    };
    const auto input = testing::makeTexture(*device, PixelFormat::rgba32Float, 36, 8,
                                            [&](int x, int) { return colours[x / 3 % 4]; });
    const auto output = sharpen(input, settings(150, 1, 100, 0));
    int changed = 0;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 36; ++x) {
            const float4 before = input->read(x, y), after = output->read(x, y);
            const float delta = after.y - before.y;
            for (int c = 0; c < 3; ++c) {
                EXPECT_GE(after[c], 0.0f);
                EXPECT_LE(after[c], 1.0f);
                if (before[c] == 0.0f) {
                    EXPECT_GE(delta, 0.0f) << "a channel at 0 is not darkened";
                }
                if (before[c] == 1.0f) {
                    EXPECT_LE(delta, 0.0f) << "a channel at 1 is not brightened";
                }
            }
            changed += delta != 0.0f;
        }
    }
    EXPECT_GT(changed, 8 * 6) << "the edges that may move are still sharpened";
}

TEST_F(SharpeningKernelTest, FullMaskingSharpensOnlyAlongEdges) {
    // Left: faint texture with no edge. Right: a strong vertical edge.
    std::mt19937 random(12);
    std::uniform_real_distribution<float> grain(-0.01f, 0.01f);
    const auto input =
        testing::makeTexture(*device, PixelFormat::rgba32Float, 60, 24, [&](int x, int) {
            const float v = x < 30 ? 0.5f + grain(random) : (x < 45 ? 0.2f : 0.8f);
            return float4{v, v, v, 1.0f};
        });
    const auto changedInTexture = [&](double masking) {
        const auto output = sharpen(input, settings(150, 1, 100, masking));
        int changed = 0;
        for (int y = 0; y < 24; ++y) {
            for (int x = 2; x < 26; ++x) changed += output->read(x, y) != input->read(x, y);
        }
        return changed;
    };
    EXPECT_EQ(changedInTexture(100), 0);
    EXPECT_GT(changedInTexture(0), 24 * 24 / 2) << "masking 0 sharpens everywhere";
    const auto masked = sharpen(input, settings(150, 1, 100, 100));
    EXPECT_LT(masked->read(44, 10).x, 0.2f) << "the edge is still sharpened";
    EXPECT_GT(masked->read(45, 10).x, 0.8f);
}

TEST_F(SharpeningKernelTest, EncodesTwoScalePassesAndTheApplyPass) {
    const auto input = photo(70, 20, 1);
    const auto output = blank(PixelFormat::rgba16Float, 70, 20);
    const std::shared_ptr<CommandBuffer> buffer = queue->makeCommandBuffer();
    kernel.encode(input, output, settings(40, 1, 25, 0), 1, *buffer);
    EXPECT_EQ(output->read(0, 0), float4{}) << "encoding runs nothing";

    const auto& passes = buffer->passes();
    ASSERT_EQ(passes.size(), 3u);
    const char* labels[] = {"Detail: luminance scales", "Detail: luminance scales",
                            "Detail: masked sharpening"};
    const char* functions[] = {"sharpen_horizontal", "sharpen_vertical", "sharpen_apply"};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(passes[i].label, labels[i]);
        ASSERT_EQ(passes[i].dispatches.size(), 1u);
        const ComputeDispatch& d = passes[i].dispatches[0];
        EXPECT_EQ(d.pipeline->functionName(), functions[i]);
        EXPECT_EQ(d.threadsPerGrid, (GridSize{70, 20}));
        EXPECT_EQ(d.threadsPerThreadgroup, (GridSize{32, 8}));
        EXPECT_EQ(d.buffers[0].bytes().size(), sizeof(SharpenUniforms));
        EXPECT_EQ(d.buffers[1].isBound(), i < 2) << "weights go to the separable passes only";
    }
    const auto& horizontal = passes[0].dispatches[0];
    const auto& vertical = passes[1].dispatches[0];
    const auto& apply = passes[2].dispatches[0];
    EXPECT_EQ(horizontal.textures[0], input);
    EXPECT_EQ(vertical.textures[0], horizontal.textures[1]);
    EXPECT_EQ(apply.textures[0], input);
    EXPECT_EQ(apply.textures[1], output);
    EXPECT_EQ(apply.textures[2], vertical.textures[1]);
    for (const auto& scales : {horizontal.textures[1], vertical.textures[1]}) {
        EXPECT_NE(scales, input);
        EXPECT_EQ(scales->pixelFormat(), PixelFormat::rg16Float);
        EXPECT_EQ(scales->storageMode(), StorageMode::devicePrivate);
        EXPECT_EQ(scales->width(), 70);
        EXPECT_EQ(scales->height(), 20);
    }
    EXPECT_NE(horizontal.textures[1], vertical.textures[1]);

    EXPECT_THROW(kernel.encode(input, blank(PixelFormat::rgba16Float, 70, 19),
                               settings(40, 1, 25, 0), 1, *buffer),
                 std::invalid_argument);
    EXPECT_THROW(kernel.encode(input, input, settings(40, 1, 25, 0), 1, *buffer),
                 std::invalid_argument);
}

TEST_F(SharpeningKernelTest, ReportsMissingFunctionsEncodersAndScaleTextures) {
    KernelLibrary partial;
    partial.add("sharpen_horizontal", [](const KernelArguments&, RowRange) {});
    partial.add("sharpen_apply", [](const KernelArguments&, RowRange) {});
    try {
        SharpeningKernel broken(device, partial);
        FAIL() << "built without its vertical pass";
    } catch (const KernelError& error) {
        EXPECT_EQ(error.code(), KernelError::Code::functionNotFound);
        EXPECT_EQ(error.functionName(), "sharpen_vertical");
    }

    const auto input = photo(64, 64, 2);
    const auto output = blank(PixelFormat::rgba16Float, 64, 64);
    const std::shared_ptr<CommandBuffer> committed = queue->makeCommandBuffer();
    committed->commit();
    try {
        kernel.encode(input, output, settings(40, 1, 25, 0), 1, *committed);
        FAIL() << "encoded on a committed buffer";
    } catch (const KernelError& error) {
        EXPECT_EQ(error.code(), KernelError::Code::encoderCreationFailed);
    }

    // A device that cannot hold one 64 × 64 scale texture (16 KiB).
    const SharpeningKernel starved(std::make_shared<Device>(8 * 1024));
    const std::shared_ptr<CommandBuffer> buffer = queue->makeCommandBuffer();
    EXPECT_THROW(starved.encode(input, output, settings(40, 1, 25, 0), 1, *buffer), BufferError);
    EXPECT_TRUE(buffer->passes().empty());
}

}  // namespace
}  // namespace quillmere
