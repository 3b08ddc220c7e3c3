#include "core/render/develop/tone_kernel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "core/compute/kernel_errors.h"
#include "core/render/develop/tone_parameters.h"
#include "tests/fixtures/texture_fixtures.h"

namespace quillmere {
namespace {

using msl::float4;

const std::string kPrepare = "Recovery: scene-linear luminance";
const std::string kMeter = "Recovery: scene white point";
const std::string kBilateral = "Recovery: edge-aware base";
const std::string kTone = "ToneKernel";
const std::string kScales = "Detail: luminance scales";
const std::string kSharpen = "Detail: masked sharpening";

template <class T>
T recordOf(const BufferBinding& binding) {
    T record{};
    if (binding.bytes().size() >= sizeof record) {
        std::memcpy(&record, binding.bytes().data(), sizeof record);
    }
    return record;
}

const ComputeDispatch& passNamed(const CommandBuffer& buffer, const std::string& label) {
    for (const CommandPass& pass : buffer.passes()) {
        if (pass.label == label) return pass.dispatches.at(0);
    }
    throw std::logic_error("No pass " + label);
}

class ToneKernelTest : public ::testing::Test {
  protected:
    std::shared_ptr<Texture> blank(int width = 40, int height = 24) {
        return testing::makeTexture(*device, PixelFormat::rgba16Float, width, height,
                                    [](int, int) { return float4{}; });
    }

    // Encodes one develop at half the photo's width, without committing it.
    std::shared_ptr<CommandBuffer> encode(const EditParams& params,
                                          std::shared_ptr<Texture> denoised = nullptr) {
        const std::shared_ptr<CommandBuffer> buffer = queue->makeCommandBuffer();
        kernel.encode(input, output, params, 5200, 8, denoised, true, 0.5, *buffer);
        return buffer;
    }

    std::shared_ptr<const Device> device = std::make_shared<Device>();
    std::shared_ptr<CommandQueue> queue = device->makeCommandQueue();
    ToneKernel kernel{device};
    std::shared_ptr<Texture> input = blank();
    std::shared_ptr<Texture> output = blank();
};

TEST_F(ToneKernelTest, EncodesOnlyThePassesTheEditNeeds) {
    struct Case {
        double highlights, shadows, whites, sharpening;
        std::int64_t visualizedPoint, visualizedBand;
        std::vector<std::string> labels;
    };
    const Case cases[] = {
        {0, 0, 30, 0, -1, -1, {kTone}},    // whites only
        {40, -50, 0, 0, -1, -1, {kTone}},  // raised highlights and lowered shadows need no base
        {0, 50, 0, 0, -1, -1, {kPrepare, kBilateral, kTone}},
        {-40, 0, 0, 0, -1, -1, {kPrepare, kMeter, kBilateral, kTone}},
        {-40, 20, 0, 40, -1, -1, {kPrepare, kMeter, kBilateral, kTone, kScales, kScales, kSharpen}},
        {0, 0, 0, 1, -1, -1, {kTone, kScales, kScales, kSharpen}},
        {0, 0, 0, 80, 0, -1, {kTone}},             // a point colour shown
        {0, 0, 0, 80, -1, 3, {kTone}},             // a mixer band shown
        {0, 0, 0, std::nan(""), -1, -1, {kTone}},  // sanitised to no sharpening
    };
    for (const Case& c : cases) {
        EditParams params;
        params.highlights = c.highlights;
        params.shadows = c.shadows;
        params.whites = c.whites;
        params.sharpening.amount = c.sharpening;
        params.visualizePointIndex = c.visualizedPoint;
        params.visualizeBandIndex = c.visualizedBand;
        const auto buffer = encode(params);
        std::vector<std::string> labels;
        for (const CommandPass& pass : buffer->passes()) labels.push_back(pass.label);
        EXPECT_EQ(labels, c.labels) << c.highlights << " " << c.shadows << " " << c.sharpening;
    }
}

TEST_F(ToneKernelTest, GuidesHaveALongSideOfAtMost256) {
    const std::pair<GridSize, GridSize> sizes[] = {
        {{1, 1}, {1, 1}},         {{6000, 4000}, {256, 171}}, {{4000, 6000}, {171, 256}},
        {{256, 100}, {256, 100}}, {{3000, 1}, {256, 1}},      {{600, 301}, {256, 128}},
        {{512, 3}, {256, 2}},  // halves round away from zero
    };
    for (const auto& [photo, guide] : sizes) {
        EXPECT_EQ(recoveryGuideSize(photo.width, photo.height), guide) << photo.width;
    }
}

TEST_F(ToneKernelTest, BindsWorkTexturesWhereTheyWereMadeAndTheInputElsewhere) {
    EditParams params;
    params.whites = 30;
    const ComputeDispatch alone = passNamed(*encode(params), kTone);
    for (const int slot : {0, 2, 3, 4}) EXPECT_EQ(alone.textures[slot], input) << slot;
    EXPECT_EQ(alone.textures[1], output);
    EXPECT_EQ(alone.threadsPerGrid, (GridSize{64, 32})) << "whole threadgroups over the output";

    params.highlights = -70;
    params.sharpening = {.amount = 60, .radius = 2, .detail = 30, .masking = 10};
    const auto full = encode(params);
    const ComputeDispatch& meter = passNamed(*full, kMeter);
    EXPECT_EQ(meter.threadsPerGrid, (GridSize{256, 1}));
    EXPECT_EQ(meter.threadsPerThreadgroup, (GridSize{256, 1}));
    const ComputeDispatch& tone = passNamed(*full, kTone);
    EXPECT_EQ(tone.textures[3], passNamed(*full, kBilateral).textures[1]);
    EXPECT_EQ(tone.textures[4], meter.textures[1]);
    EXPECT_EQ(passNamed(*full, kSharpen).textures[0], tone.textures[1]);
    EXPECT_EQ(passNamed(*full, kSharpen).textures[1], output);
    // The caller's source scale reaches the sharpening: radius 2 at half size is radius 1.
    EXPECT_EQ(recordOf<SharpenUniforms>(passNamed(*full, kSharpen).buffers[0]).support, 3);
}

TEST_F(ToneKernelTest, BlendsADenoisedInputOnlyWhenThereIsOne) {
    EditParams params;
    params.denoise = 150;
    params.shadows = 10;
    const auto denoised = blank();
    const auto withClean = encode(params, denoised);
    EXPECT_EQ(recordOf<ToneUniforms>(passNamed(*withClean, kTone).buffers[0]).denoiseAmount, 1.0f);
    EXPECT_EQ(passNamed(*withClean, kTone).textures[2], denoised);
    EXPECT_EQ(passNamed(*withClean, kPrepare).textures[2], denoised);
    EXPECT_EQ(recordOf<ToneUniforms>(passNamed(*encode(params), kTone).buffers[0]).denoiseAmount,
              0.0f);
}

TEST_F(ToneKernelTest, HandsTheShaderTheFirstEightPointsEachClampedToItsRange) {
    EditParams params;
    for (int k = 0; k < 11; ++k) params.hsl.points.emplace_back(10.0 * k, 0.5, 0.5);
    PointColor& wild = params.hsl.points[1];
    wild.hue = 400;
    wild.saturation = -0.5;
    wild.hueRange = 0;
    wild.saturationRange = 0;
    wild.range = 500;
    wild.hueShift = std::nan("");
    wild.saturationShift = 300;
    wild.variance = INFINITY;
    params.visualizePointIndex = 1;
    params.hsl.blackAndWhite = true;
    const auto buffer = encode(params);
    const BufferBinding& bound = passNamed(*buffer, kTone).buffers[3];
    EXPECT_EQ(bound.bytes().size(), 368u);
    const auto u = recordOf<PointColorUniforms>(bound);
    EXPECT_EQ(u.count, 8.0f);
    EXPECT_EQ(u.points[7].hue, 70.0f);
    const PointColorRecord& p = u.points[1];
    const float expected[] = {360, 0, 0.5f, 1, 0.01f, 0.5f, 100, -100, 100, 0, -100};
    const float actual[] = {p.hue,
                            p.saturation,
                            p.brightness,
                            p.hueRange,
                            p.saturationRange,
                            p.luminanceRange,
                            p.range,
                            p.hueShift,
                            p.saturationShift,
                            p.luminanceShift,
                            p.variance};
    for (int i = 0; i < 11; ++i) EXPECT_EQ(actual[i], expected[i]) << "value " << i;
    EXPECT_EQ(u.visualizePointIndex, 1.0f);
    EXPECT_EQ(u.blackAndWhite, 1.0f);
    EXPECT_EQ(u.visualizeBandIndex, -1.0f);
}

TEST_F(ToneKernelTest, BindsTheCurveTableOrThePlaceholder) {
    EditParams params;
    const ComputeDispatch identity = passNamed(*encode(params), kTone);
    EXPECT_EQ(recordOf<ToneUniforms>(identity.buffers[0]).curveActive, 0.0f);
    EXPECT_EQ(identity.buffers[1].bytes().size(), 16u);

    params.toneCurve.rgb = {{0, 10}, {128, 140}, {255, 250}};
    const ComputeDispatch curved = passNamed(*encode(params), kTone);
    EXPECT_EQ(recordOf<ToneUniforms>(curved.buffers[0]).curveActive, 1.0f);
    EXPECT_EQ(curved.buffers[1].bytes().size(), 4096u);
    params.exposure = 1;
    EXPECT_EQ(passNamed(*encode(params), kTone).buffers[1].buffer, curved.buffers[1].buffer)
        << "another slider keeps the table";

    // A device with room for the placeholder but not for a table: the curve is left out.
    const ToneKernel starved(std::make_shared<Device>(1024));
    const std::shared_ptr<CommandBuffer> buffer = queue->makeCommandBuffer();
    starved.encode(input, output, params, 5000, 0, nullptr, false, 1, *buffer);
    EXPECT_EQ(recordOf<ToneUniforms>(passNamed(*buffer, kTone).buffers[0]).curveActive, 0.0f);
}

TEST_F(ToneKernelTest, ReportsWhatCannotBeBuiltOrEncoded) {
    const auto missingName = [&](const std::vector<std::string>& missing) -> std::string {
        KernelLibrary library;
        for (const char* name :
             {"tone_kernel_main", "recovery_prepare", "recovery_bilateral", "recovery_meter"}) {
            if (std::find(missing.begin(), missing.end(), name) == missing.end()) {
                library.add(name, [](const KernelArguments&, RowRange) {});
            }
        }
        try {
            const ToneKernel built(device, library);
        } catch (const KernelError& error) {
            return error.functionName();
        }
        return "nothing";
    };
    EXPECT_EQ(missingName({"tone_kernel_main", "recovery_meter"}), "tone_kernel_main");
    EXPECT_EQ(missingName({"recovery_bilateral"}), "recovery_prepare / recovery_bilateral");
    EXPECT_EQ(missingName({"recovery_meter"}), "recovery_meter");
    EXPECT_EQ(missingName({}), "nothing");
    EXPECT_THROW(ToneKernel(std::make_shared<Device>(8)), BufferError) << "no placeholder";

    EditParams params;
    const std::shared_ptr<CommandBuffer> committed = queue->makeCommandBuffer();
    committed->commit();
    EXPECT_THROW(kernel.encode(input, output, params, 5000, 0, nullptr, false, 1, *committed),
                 KernelError);
    // Room for the placeholder, none for a 40 × 24 work texture.
    const ToneKernel starved(std::make_shared<Device>(1024));
    const std::shared_ptr<CommandBuffer> buffer = queue->makeCommandBuffer();
    params.shadows = 50;
    EXPECT_THROW(starved.encode(input, output, params, 5000, 0, nullptr, false, 1, *buffer),
                 BufferError);
    EXPECT_THROW(kernel.encode(input, input, params, 5000, 0, nullptr, false, 1, *buffer),
                 std::invalid_argument);
    EXPECT_THROW(kernel.encode(input, output, params, 5000, 0, blank(39, 24), false, 1, *buffer),
                 std::invalid_argument);
    EXPECT_TRUE(buffer->passes().empty());
}

}  // namespace
}  // namespace quillmere
