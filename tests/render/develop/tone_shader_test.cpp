#include "core/render/develop/tone_shader.h"

#include <gtest/gtest.h>
#include <tbb/global_control.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <vector>

#include "core/compute/half_float.h"
#include "core/render/develop/color_adjustment_functions.h"
#include "core/render/develop/recovery_bilateral.h"
#include "core/render/develop/recovery_functions.h"
#include "core/render/develop/tone_functions.h"
#include "tests/fixtures/texture_fixtures.h"
#include "tests/fixtures/tone_pass_fixtures.h"

namespace quillmere {
namespace {

using msl::float3;
using msl::float4;
using testing::ToneSettings;

// Decoded halves are what the kernels see of the input, so references start from them too.
float asHalf(float value) { return halfToFloat(floatToHalf(value)); }

// Whether two encoded values are within one step of the half format apart.
::testing::AssertionResult withinHalfRounding(float actual, float expected) {
    const int a = floatToHalf(actual), e = floatToHalf(expected);
    if (std::abs(a - e) <= 1) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << actual << " vs " << expected;
}

float luminance(float3 rgb) { return msl::dot(rgb, kRec709Luma); }

float decodeSRGB(float v) {
    return v <= 0.04045f ? v / 12.92f : std::pow((v + 0.055f) / 1.055f, 2.4f);
}

class ToneShaderTest : public ::testing::Test {
  protected:
    std::shared_ptr<Texture> image(int width, int height,
                                   const std::function<float4(int, int)>& texel) const {
        return testing::makeTexture(device, PixelFormat::rgba16Float, width, height, texel);
    }
    // A colourful test photo with values from deep shadow to well above white.
    std::shared_ptr<Texture> scene(int width, int height) const {
        return image(width, height, [=](int x, int y) {
            const float ev = -10.0f + 13.0f * static_cast<float>(x) / static_cast<float>(width);
            const float level = std::exp2(ev);
            const float tint = static_cast<float>((x * 7 + y * 13) % 17) / 17.0f;
            return float4{level * (0.4f + tint), level * (1.0f - 0.5f * tint),
                          level * (0.3f + 0.2f * static_cast<float>(y % 5)),
                          0.25f + 0.5f * static_cast<float>(y % 2)};
        });
    }
    float3 at(const Texture& texture, int x, int y) const { return texture.read(x, y).xyz(); }

    Device device;
    testing::TonePasses passes{device};
};

TEST_F(ToneShaderTest, LibraryHoldsTheFourKernels) {
    const KernelLibrary library = makeToneKernelLibrary();
    for (const char* name :
         {"tone_kernel_main", "recovery_prepare", "recovery_bilateral", "recovery_meter"}) {
        ASSERT_NE(library.makePipeline(name), nullptr) << name;
    }
}

TEST_F(ToneShaderTest, NeutralEditIsThePerChannelEncodingAndKeepsAlpha) {
    const auto input = scene(97, 13);
    for (float raw : {0.0f, 1.0f}) {
        ToneSettings settings;
        settings.tone.rawShoulder = raw;
        const auto output = passes.develop(input, settings);
        for (int y = 0; y < 13; ++y) {
            for (int x = 0; x < 97; ++x) {
                const float4 in = input->read(x, y);
                const float4 out = output->read(x, y);
                for (int c = 0; c < 3; ++c) {
                    const float expected = raw > 0 ? shoulderEncode(in[c]) : clipEncode(in[c]);
                    EXPECT_TRUE(withinHalfRounding(out[c], expected)) << x << "," << y;
                }
                EXPECT_EQ(out.w, in.w);
            }
        }
    }
}

TEST_F(ToneShaderTest, MiddleGreyStaysUnderContrastAndWhitesClipOrRollOff) {
    const auto input = image(4, 1, [](int x, int) {
        const float values[] = {0.18f, 1.5f, 4.0f, 60.0f};
        return float4{values[x], values[x], values[x], 1};
    });
    ToneSettings settings;
    settings.tone.contrast = 80;
    const auto raster = passes.develop(input, settings);
    EXPECT_TRUE(withinHalfRounding(raster->read(0, 0).x, clipEncode(0.18f)));
    EXPECT_EQ(at(*raster, 1, 0), (float3{1, 1, 1}));

    settings.tone.contrast = 0;
    settings.tone.rawShoulder = 1;
    const auto raw = passes.develop(input, settings);
    EXPECT_LT(raw->read(1, 0).x, 0.99f);
    EXPECT_EQ(at(*raw, 2, 0), (float3{1, 1, 1}));
    EXPECT_EQ(at(*raw, 3, 0), (float3{1, 1, 1}));
}

TEST_F(ToneShaderTest, GreysIgnorePointsAndMixerWhileColoursMove) {
    const auto input = image(2, 1, [](int x, int) {
        return x == 0 ? float4{0.3f, 0.3f, 0.3f, 1} : float4{0.5f, 0.05f, 0.05f, 1};
    });
    ToneSettings settings;
    settings.tone.hslActive = 1;
    std::fill(std::begin(settings.hsl.hue), std::end(settings.hsl.hue), 60.0f);
    std::fill(std::begin(settings.hsl.lum), std::end(settings.hsl.lum), -80.0f);
    settings.points.count = 1;
    settings.points.points[0] = {0, 0, 0.5f, 180, 1, 1, 100, 100, 100, -100, 0};
    const auto output = passes.develop(input, settings);
    const float grey = clipEncode(asHalf(0.3f));
    for (int c = 0; c < 3; ++c) EXPECT_TRUE(withinHalfRounding(output->read(0, 0)[c], grey));
    const float3 colour = at(*output, 1, 0);
    const float3 unchanged{clipEncode(asHalf(0.5f)), clipEncode(asHalf(0.05f)),
                           clipEncode(asHalf(0.05f))};
    EXPECT_GT(std::fabs(colour.x - unchanged.x) + std::fabs(colour.y - unchanged.y), 0.1f);
}

TEST_F(ToneShaderTest, HuesFrom330UpBelongToTheMagentaRedSegment) {
    // Encoded colours at hues 320, 330, 345 and 359 with band 7 (magenta) visualised.
    const float hues[] = {320, 330, 345, 359};
    const auto input = image(4, 1, [&](int x, int) {
        const float3 encoded = hsv2rgb(hues[x], 0.8f, 0.8f);
        return float4{decodeSRGB(encoded.x), decodeSRGB(encoded.y), decodeSRGB(encoded.z), 1};
    });
    ToneSettings settings;
    settings.points.visualizeBandIndex = 7;
    const auto magenta = passes.develop(input, settings);
    settings.points.visualizeBandIndex = 0;
    const auto red = passes.develop(input, settings);
    const auto colourOf = [](float3 rgb) { return rgb2hsv(rgb).y; };
    // 320 lies between purple and magenta: red shows none of it.
    EXPECT_LT(colourOf(at(*red, 0, 0)), 0.01f);
    EXPECT_GT(colourOf(at(*magenta, 0, 0)), 0.1f);
    // 330 is magenta's own centre; 345 is shared half and half with red; 359 is nearly red.
    EXPECT_GT(colourOf(at(*magenta, 1, 0)), 0.75f);
    EXPECT_LT(colourOf(at(*red, 1, 0)), 0.01f);
    EXPECT_NEAR(colourOf(at(*magenta, 2, 0)), colourOf(at(*red, 2, 0)), 0.02f);
    EXPECT_GT(colourOf(at(*red, 3, 0)), 0.75f);
    EXPECT_LT(colourOf(at(*magenta, 3, 0)), 0.01f);
}

TEST_F(ToneShaderTest, SaturationMinus100AndBlackAndWhiteGiveTheRec601Grey) {
    const auto input = scene(40, 3);
    ToneSettings desaturated, blackAndWhite;
    desaturated.tone.saturation = -100;
    blackAndWhite.points.blackAndWhite = 1;
    for (const ToneSettings& settings : {desaturated, blackAndWhite}) {
        const auto output = passes.develop(input, settings);
        for (int x = 0; x < 40; ++x) {
            const float3 in = at(*input, x, 1);
            const float grey = rec601Grey({clipEncode(in.x), clipEncode(in.y), clipEncode(in.z)});
            for (int c = 0; c < 3; ++c) {
                EXPECT_TRUE(withinHalfRounding(output->read(x, 1)[c], grey));
            }
        }
    }
}

TEST_F(ToneShaderTest, DenoiseBlendsTowardsTheCleanTexture) {
    const auto noisy = scene(16, 4);
    const auto clean = image(16, 4, [](int, int) { return float4{0.2f, 0.3f, 0.1f, 1}; });
    ToneSettings settings;
    settings.tone.denoiseAmount = 1;
    const auto output = passes.develop(noisy, settings, clean);
    for (int x = 0; x < 16; ++x) {
        EXPECT_TRUE(withinHalfRounding(output->read(x, 2).y, clipEncode(asHalf(0.3f))));
    }
}

TEST_F(ToneShaderTest, ExtremeOverlappingPointTurnsKeepAValidHue) {
    const auto input = image(1, 1, [](int, int) { return float4{0.6f, 0.1f, 0.09f, 1}; });
    ToneSettings settings;
    settings.points.count = 8;
    for (auto& point : settings.points.points)
        point = {150, 0.7f, 0.7f, 180, 1, 1, 100, -100, 0, 0, 100};
    const float3 out = at(*passes.develop(input, settings), 0, 0);
    const float3 in = at(*input, 0, 0);
    const float sampleHue = rgb2hsv({clipEncode(in.x), clipEncode(in.y), clipEncode(in.z)}).x;
    const float turned = sampleHue + 8.0f * (-30.0f + (sampleHue - 150.0f)) + 720.0f;
    ASSERT_LT(turned, 0.0f);
    EXPECT_NEAR(rgb2hsv(out).x, wrapHue(turned), 0.5f);
}

TEST_F(ToneShaderTest, RecoveryMovesNoPixelByMoreThanFiveEV) {
    // Deep shadows to just below white, so that neither end clips: every move stays visible.
    const int width = 300, height = 20;
    const auto input = image(width, height, [=](int x, int y) {
        const float ev = -14.0f + 13.9f * static_cast<float>(x) / width;
        const float ripple = (x + y) % 3 == 0 ? 1.1f : 0.95f;
        const float level = std::exp2(ev) * ripple;
        return float4{level, level * 0.9f, level * 0.8f, 1};
    });
    ToneSettings plain;
    const auto reference = passes.develop(input, plain);
    float largestLift = 0, largestDrop = 0;
    for (const auto& [highlights, shadows] : {std::pair{-100.0f, 0.0f}, std::pair{0.0f, 100.0f}}) {
        ToneSettings settings;
        settings.tone.highlights = highlights;
        settings.tone.shadows = shadows;
        const auto recovered = passes.develop(input, settings);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const auto linear = [](float3 c) {
                    return luminance({decodeSRGB(c.x), decodeSRGB(c.y), decodeSRGB(c.z)});
                };
                const float before = linear(at(*reference, x, y));
                const float after = linear(at(*recovered, x, y));
                if (before < 1e-4f) continue;  // below what the half output resolves
                const float moved = std::log2(after / before);
                EXPECT_LE(std::fabs(moved), 5.0f + 0.05f) << x << "," << y;
                if (highlights < 0) {
                    EXPECT_LE(moved, 0.05f) << x;
                }
                if (shadows > 0) {
                    EXPECT_GE(moved, -0.05f) << x;
                }
                largestLift = std::max(largestLift, moved);
                largestDrop = std::min(largestDrop, moved);
            }
        }
    }
    EXPECT_GT(largestLift, 3.0f);
    EXPECT_LT(largestDrop, -0.1f);
}

TEST_F(ToneShaderTest, RecoveryPassesBuildGuideBaseAndWhitePoint) {
    // A checkerboard averages out in the guide; a hot pixel raises the white point only by its
    // share of a guide texel.
    const int width = 512, height = 256;
    const auto input = image(width, height, [](int x, int y) {
        if (x == 300 && y == 100) return float4{1000, 1000, 1000, 1};
        const float v = (x + y) % 2 == 0 ? 0.1f : 0.3f;
        return float4{v, v, v, 1};
    });
    const auto recovery = passes.makeRecoveryTextures(width, height);
    ASSERT_EQ(recovery.guide->width(), 256);
    ASSERT_EQ(recovery.guide->height(), 128);
    ToneUniforms tone;
    tone.highlights = -50;
    const auto buffer = passes.queue().makeCommandBuffer();
    passes.encodePrepare(*buffer, input, nullptr, recovery, tone);
    passes.encodeMeter(*buffer, recovery);
    passes.encodeBilateral(*buffer, recovery);
    testing::TonePasses::commit(*buffer);

    const float average = 0.5f * (asHalf(0.1f) + asHalf(0.3f));
    EXPECT_NEAR(recovery.guide->read(10, 20).x, std::log2(average / 0.18f), 1e-5f);
    const float hot = (1000.0f + 3.0f * average) / 4.0f;  // one texel of the four averaged
    EXPECT_NEAR(recovery.whitePoint->read(0, 0).x, std::log2(hot / 0.18f), 0.01f);

    const GuideView guide{recovery.guide->floatRow(0).data(), 256, 128};
    std::vector<float> base(256 * 128);
    recoveryBilateralRows(guide, 0, 128, base.data());
    for (const auto& [x, y] : {std::pair{0, 0}, std::pair{150, 50}, std::pair{255, 127}}) {
        EXPECT_EQ(recovery.base->read(x, y).x, base[static_cast<std::size_t>(y * 256 + x)]);
    }
}

TEST_F(ToneShaderTest, GivesTheSameBytesWithOneThreadAndWithMany) {
    const auto input = scene(333, 207);
    const auto clean = scene(333, 207);
    ToneSettings settings;
    settings.tone = {1.1f, 0.95f, 0.9f, 0.3f, 20, -60, 40, 10, -10, 30, 15, 1, 1, 0.4f, 1};
    settings.curve.resize(kCurveTableSize);
    for (std::size_t i = 0; i < kCurveTableSize; ++i) {
        const float x = static_cast<float>(i % 256) / 255.0f;
        settings.curve[i] = x * x * (3.0f - 2.0f * x);
    }
    settings.hsl.hue[0] = 40;
    settings.hsl.sat[3] = -30;
    settings.hsl.lum[5] = 25;
    settings.points.count = 2;
    settings.points.points[0] = {20, 0.6f, 0.6f, 30, 0.5f, 0.5f, 50, 30, 20, -10, 20};
    settings.points.points[1] = {200, 0.4f, 0.5f, 40, 0.5f, 0.5f, 70, -20, 10, 10, -30};
    const auto run = [&](std::size_t threads) {
        const tbb::global_control limit(tbb::global_control::max_allowed_parallelism, threads);
        return testing::readBytes(*passes.develop(input, settings, clean));
    };
    EXPECT_EQ(run(1), run(8));
}

TEST_F(ToneShaderTest, WrongBindingsFailThePassInsteadOfReadingBeyondThem) {
    const auto input = scene(8, 8);
    ToneSettings settings;
    settings.tone.curveActive = 1;  // but the 16-byte placeholder is bound
    EXPECT_THROW(passes.develop(input, settings), std::runtime_error);

    settings = ToneSettings{};
    settings.tone.highlights = -20;
    const auto buffer = passes.queue().makeCommandBuffer();
    const auto output = passes.makeImage(8, 8);
    passes.encodeTone(*buffer, input, output, nullptr, nullptr, settings);  // no white point
    EXPECT_THROW(testing::TonePasses::commit(*buffer), std::runtime_error);

    settings = ToneSettings{};
    EXPECT_THROW(passes.develop(scene(4, 8), settings, nullptr, passes.makeImage(8, 8)),
                 std::runtime_error);
}

}  // namespace
}  // namespace quillmere
