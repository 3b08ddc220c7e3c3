#include "core/render/develop/tone_kernel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

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

TEST_F(ToneKernelTest, BlendsADenoisedInputOnlyWhenThereIsOne) {
    EditParams params;
    params.denoise = 150;
    const auto denoiseAmount = [&](std::shared_ptr<Texture> denoised) {
        const auto buffer = encode(params, std::move(denoised));
        ToneUniforms uniforms{};  // without recovery, the tone pass comes first
        const auto& bytes = buffer->passes().at(0).dispatches.at(0).buffers[0].bytes();
        std::memcpy(&uniforms, bytes.data(), std::min(bytes.size(), sizeof uniforms));
        return uniforms.denoiseAmount;
    };
    EXPECT_EQ(denoiseAmount(blank()), 1.0f);
    EXPECT_EQ(denoiseAmount(nullptr), 0.0f);
}

}  // namespace
}  // namespace quillmere
