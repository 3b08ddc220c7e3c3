#include "core/render/develop/tone_kernel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/compute/kernel_errors.h"
#include "core/render/develop/tone_parameters.h"
#include "core/render/develop/white_balance.h"
#include "tests/fixtures/texture_fixtures.h"
#include "tests/fixtures/tone_pass_fixtures.h"

namespace quillmere {
namespace {

using msl::float4;

constexpr double kAsShotTemperature = 5200;
constexpr double kAsShotTint = 8;

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
    // A linear scene climbing over several stops, with grain in red and blue.
    std::shared_ptr<Texture> scene(unsigned seed) {
        std::mt19937 random(seed);
        std::uniform_real_distribution<float> grain(0.9f, 1.1f);
        return testing::makeTexture(*device, PixelFormat::rgba16Float, 40, 24, [&](int x, int y) {
            const float level = std::exp2(-6.0f + 0.25f * static_cast<float>(x + y));
            return float4{level * grain(random), level * 0.8f, level * 0.6f * grain(random), 1};
        });
    }

    std::shared_ptr<Texture> blank(int width = 40, int height = 24) {
        return testing::makeTexture(*device, PixelFormat::rgba16Float, width, height,
                                    [](int, int) { return float4{}; });
    }

    // Encodes one develop of the scene at half the photo's width, without committing it.
    std::shared_ptr<CommandBuffer> encode(const EditParams& params,
                                          std::shared_ptr<Texture> denoised = nullptr) {
        const std::shared_ptr<CommandBuffer> buffer = queue->makeCommandBuffer();
        kernel.encode(input, output, params, kAsShotTemperature, kAsShotTint, denoised, true, 0.5,
                      *buffer);
        return buffer;
    }

    std::shared_ptr<const Device> device = std::make_shared<Device>();
    std::shared_ptr<CommandQueue> queue = device->makeCommandQueue();
    ToneKernel kernel{device};
    std::shared_ptr<Texture> input = scene(1);
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

TEST_F(ToneKernelTest, BindsWorkTexturesWhereTheyWereMadeAndTheInputElsewhere) {
    EditParams params;
    params.whites = 30;
    const ComputeDispatch alone = passNamed(*encode(params), kTone);
    EXPECT_EQ(alone.textures[0], input);
    EXPECT_EQ(alone.textures[1], output);
    for (const int slot : {2, 3, 4}) EXPECT_EQ(alone.textures[slot], input) << slot;
    EXPECT_EQ(alone.threadsPerThreadgroup, (GridSize{32, 32}));
    EXPECT_EQ(alone.threadsPerGrid, (GridSize{64, 32})) << "whole threadgroups over the output";

    params.shadows = 60;
    const auto lifted = encode(params);
    const auto& guide = passNamed(*lifted, kPrepare).textures[1];
    const auto& base = passNamed(*lifted, kBilateral).textures[1];
    EXPECT_EQ(passNamed(*lifted, kBilateral).textures[0], guide);
    EXPECT_EQ(base->pixelFormat(), PixelFormat::r32Float);
    EXPECT_EQ((GridSize{base->width(), base->height()}), (GridSize{40, 24}));
    EXPECT_EQ(passNamed(*lifted, kTone).textures[3], base);
    EXPECT_EQ(passNamed(*lifted, kTone).textures[4], input) << "no white point was measured";

    params.highlights = -70;
    params.sharpening = {.amount = 60, .radius = 2, .detail = 30, .masking = 10};
    const auto full = encode(params);
    const ComputeDispatch& meter = passNamed(*full, kMeter);
    EXPECT_EQ(meter.threadsPerGrid, (GridSize{256, 1}));
    EXPECT_EQ(meter.threadsPerThreadgroup, (GridSize{256, 1}));
    EXPECT_EQ(meter.textures[1]->width() * meter.textures[1]->height(), 1);
    const ComputeDispatch& tone = passNamed(*full, kTone);
    EXPECT_EQ(tone.textures[4], meter.textures[1]);
    const auto& intermediate = tone.textures[1];
    EXPECT_NE(intermediate, output);
    EXPECT_EQ(intermediate->pixelFormat(), PixelFormat::rgba16Float);
    EXPECT_EQ(intermediate->storageMode(), StorageMode::devicePrivate);
    const ComputeDispatch& apply = passNamed(*full, kSharpen);
    EXPECT_EQ(apply.textures[0], intermediate);
    EXPECT_EQ(apply.textures[1], output);
    // The caller's source scale reaches the sharpening: radius 2 at half size is radius 1.
    EXPECT_EQ(recordOf<SharpenUniforms>(apply.buffers[0]).support, 3);
}

TEST_F(ToneKernelTest, FillsTheUniformsFromTheEditAndTheInputs) {
    EditParams params;
    params.temperature = 6800;
    params.tint = -12;
    params.highlights = -130;
    params.denoise = 150;
    for (int k = 0; k < 9; ++k) params.hsl.points.emplace_back(40.0 * k, 0.6, 0.7);
    const auto denoised = scene(2);
    const auto buffer = encode(params, denoised);
    const ComputeDispatch& tone = passNamed(*buffer, kTone);
    const auto u = recordOf<ToneUniforms>(tone.buffers[0]);
    const auto gains = whiteBalanceGains(6800, -12, kAsShotTemperature, kAsShotTint);
    EXPECT_EQ((std::array{u.wbGainR, u.wbGainG, u.wbGainB}), gains);
    EXPECT_EQ(u.highlights, -100.0f);
    EXPECT_EQ(u.denoiseAmount, 1.0f);
    EXPECT_EQ(tone.textures[2], denoised);
    EXPECT_EQ(passNamed(*buffer, kPrepare).textures[2], denoised);
    EXPECT_EQ(tone.buffers[0].bytes().size(), 60u);
    EXPECT_EQ(tone.buffers[2].bytes().size(), 128u);
    EXPECT_EQ(tone.buffers[3].bytes().size(), 368u);
    EXPECT_EQ(recordOf<PointColorUniforms>(tone.buffers[3]).count, 8.0f);

    params.temperature = kAsShotTemperature;
    params.tint = kAsShotTint;
    const auto asShot = recordOf<ToneUniforms>(passNamed(*encode(params), kTone).buffers[0]);
    EXPECT_EQ((std::array{asShot.wbGainR, asShot.wbGainG, asShot.wbGainB}),
              (std::array{1.0f, 1.0f, 1.0f}));
    EXPECT_EQ(asShot.denoiseAmount, 0.0f) << "no denoised input, nothing to blend";
}

TEST_F(ToneKernelTest, BindsTheCachedCurveTableOrThePlaceholder) {
    EditParams params;
    const ComputeDispatch identity = passNamed(*encode(params), kTone);
    EXPECT_EQ(recordOf<ToneUniforms>(identity.buffers[0]).curveActive, 0.0f);
    EXPECT_EQ(identity.buffers[1].bytes().size(), 16u);
    using Zeros = std::array<float, 4>;
    EXPECT_EQ(recordOf<Zeros>(identity.buffers[1]), Zeros{});

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
    EXPECT_EQ(passNamed(*buffer, kTone).buffers[1].bytes().size(), 16u);
}

TEST_F(ToneKernelTest, DevelopsAsThePassesBoundOneByOne) {
    EditParams params;
    params.temperature = 4300;
    params.exposure = 0.7;
    params.contrast = 25;
    params.highlights = -60;
    params.shadows = 35;
    params.vibrance = 20;
    params.denoise = 40;
    params.toneCurve.green = {{0, 0}, {100, 120}, {255, 255}};
    params.hsl.saturationFor(HSLAdjustments::Band::orange) = 30;
    params.hsl.points.emplace_back(30, 0.4, 0.5);
    params.hsl.points[0].luminanceShift = 25;
    params.sharpening = {.amount = 90, .radius = 1.5, .detail = 50, .masking = 20};
    const auto denoised = scene(9);
    const auto buffer = encode(params, denoised);
    buffer->commit();
    ASSERT_EQ(buffer->status(), CommandBufferStatus::completed);

    testing::ToneSettings settings;
    settings.tone = makeToneUniforms(
        params, {.whiteBalanceGains = whiteBalanceGains(4300, 0, kAsShotTemperature, kAsShotTint),
                 .curveActive = true,
                 .hasDenoisedInput = true,
                 .isRAW = true});
    settings.hsl = makeHSLUniforms(params.hsl);
    settings.points = makePointColorUniforms(params);
    settings.curve = params.toneCurve.lut(256);
    const auto toned = testing::TonePasses(*device).develop(input, settings, denoised);
    const auto expected = blank();
    const std::shared_ptr<CommandBuffer> sharpen = queue->makeCommandBuffer();
    SharpeningKernel(device).encode(toned, expected, params.sharpening, 0.5, *sharpen);
    sharpen->commit();
    EXPECT_EQ(testing::readBytes(*output), testing::readBytes(*expected));
}

TEST_F(ToneKernelTest, ReportsWhatCannotBeBuilt) {
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
    EXPECT_EQ(missingName({"recovery_prepare"}), "recovery_prepare / recovery_bilateral");
    EXPECT_EQ(missingName({"recovery_bilateral"}), "recovery_prepare / recovery_bilateral");
    EXPECT_EQ(missingName({"recovery_meter"}), "recovery_meter");
    EXPECT_EQ(missingName({}), "nothing");
    try {
        const ToneKernel built(device, makeToneKernelLibrary(), KernelLibrary{});
        FAIL() << "built without sharpening";
    } catch (const KernelError& error) {
        EXPECT_EQ(error.functionName(), "sharpen_horizontal") << "sharpening is built first";
    }
    EXPECT_THROW(ToneKernel(std::make_shared<Device>(8)), BufferError) << "no placeholder";
}

TEST_F(ToneKernelTest, ReportsWhatCannotBeEncoded) {
    EditParams params;
    const std::shared_ptr<CommandBuffer> committed = queue->makeCommandBuffer();
    committed->commit();
    try {
        kernel.encode(input, output, params, 5000, 0, nullptr, false, 1, *committed);
        FAIL() << "encoded on a committed buffer";
    } catch (const KernelError& error) {
        EXPECT_EQ(error.code(), KernelError::Code::encoderCreationFailed);
    }

    // Room for the placeholder, none for a 40 × 24 work texture.
    const ToneKernel starved(std::make_shared<Device>(1024));
    const std::shared_ptr<CommandBuffer> buffer = queue->makeCommandBuffer();
    params.sharpening.amount = 50;
    EXPECT_THROW(starved.encode(input, output, params, 5000, 0, nullptr, false, 1, *buffer),
                 BufferError);
    params.sharpening.amount = 0;
    params.shadows = 50;
    EXPECT_THROW(starved.encode(input, output, params, 5000, 0, nullptr, false, 1, *buffer),
                 BufferError);

    EXPECT_THROW(kernel.encode(input, input, params, 5000, 0, nullptr, false, 1, *buffer),
                 std::invalid_argument);
    EXPECT_THROW(kernel.encode(input, blank(40, 23), params, 5000, 0, nullptr, false, 1, *buffer),
                 std::invalid_argument);
    EXPECT_THROW(kernel.encode(input, output, params, 5000, 0, blank(39, 24), false, 1, *buffer),
                 std::invalid_argument);
    EXPECT_TRUE(buffer->passes().empty());
}

}  // namespace
}  // namespace quillmere
