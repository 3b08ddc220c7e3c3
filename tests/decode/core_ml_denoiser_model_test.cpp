#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

#include "core/common/build_config.h"
#include "core/decode/core_ml_denoiser.h"
#include "core/decode/core_ml_denoiser_error.h"
#include "tests/decode/denoiser_test_support.h"
#include "tests/fixtures/temporary_folder.h"
#include "tests/fixtures/onnx_model_writer.h"

namespace quillmere {
namespace {

namespace fs = std::filesystem;
using namespace denoiser_testing;
using test_fixtures::ONNXTensorDeclaration;

constexpr int kDouble = 11;  // onnx::TensorProto::DOUBLE
const ONNXTensorDeclaration kImage{"image", {1, 8, 32, 32}};
const ONNXTensorDeclaration kDenoised{"denoised", {1, 4, 32, 32}};

TEST(CoreMLDenoiserModelTest, AChannelCopyModelRunsThroughTheTilesAndCopiesExactly) {
    testing::TemporaryFolder folder;
    for (const bool weightsAsInputs : {false, true}) {
        const fs::path path = folder.path() / "model.onnx";
        test_fixtures::writeChannelCopyModel(path, {kImage}, {kDenoised}, weightsAsInputs);
        CoreMLDenoiser denoiser(path, configuration(8));
        EXPECT_EQ(denoiser.tileSize(), 32);
        const auto source = makeSensorTexture(PixelFormat::rgba32Float, 70, 45, scatteredSample);
        EXPECT_EQ(samplesOf(denoiser.denoise(*source, kSomeNoise, device(), never)),
                  samplesOf(*source));
    }
}

TEST(CoreMLDenoiserModelTest, ModelsThatDoNotFitTheTilesAreRefusedWithTheReason) {
    const std::string imageType = "image input must be a Float32 multi-array";
    const std::string imageShape = "expected image shape [1, 8, tile, tile]";
    const std::string output = "output must be Float32 [1, 4, tile, tile]";
    const struct {
        std::vector<ONNXTensorDeclaration> inputs, outputs;
        std::string reason;
    } cases[] = {
        {{{"pixels", {1, 8, 32, 32}}}, {kDenoised}, imageType},
        {{{"image", {1, 8, 32, 16}}}, {kDenoised}, imageShape},
        {{{"image", {1, 8, -1, -1}}}, {kDenoised}, imageShape},
        {{kImage}, {{"denoised", {1, 3, 32, 32}}}, output},
        {{kImage}, {{"denoised", {1, 4, 32, 32}, kDouble}}, output},
        {{kImage, {"strength", {1}}}, {kDenoised}, "model has unconfigured inputs"},
        {{{"image", {1, 8, 4096, 4096}}},
         {{"denoised", {1, 4, 4096, 4096}}},
         "invalid tile size or overlap"},
    };
    testing::TemporaryFolder folder;
    const auto reason = [&](const fs::path& model) -> std::string {
        try {
            CoreMLDenoiser denoiser(model, configuration(8));
        } catch (const CoreMLDenoiserError& error) {
            EXPECT_EQ(error.code(), CoreMLDenoiserError::Code::invalidModel);
            return error.what();
        }
        return "accepted";
    };
    const std::string prefix = "The local denoise model is incompatible: ";
    for (const auto& c : cases) {
        const fs::path path = folder.path() / "model.onnx";
        test_fixtures::writeChannelCopyModel(path, c.inputs, c.outputs, false);
        EXPECT_EQ(reason(path), prefix + c.reason);
    }
    EXPECT_EQ(reason(folder.path() / "absent.onnx"), prefix + "model file is missing");
    // A model OpenCV cannot load: the denoiser's own error, and no log of OpenCV's.
    test_fixtures::writeChannelCopyModel(folder.path() / "unknown_operator.onnx", {kImage},
                                         {kDenoised}, false, "NoSuchOperator");
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(reason(folder.path() / "unknown_operator.onnx"),
              prefix + "the model cannot be loaded");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    std::ofstream(folder.path() / "garbage.onnx") << "\x08\x07 this is not a model \xff\xff";
    EXPECT_EQ(reason(folder.path() / "garbage.onnx"),
              prefix + "model file is not a readable ONNX model");
}

// A packed Bayer texture of four flat patches with sensor noise of a known profile, denoised by
// the shipped model through the whole tiled path: the noise must fall at least by half while
// every patch keeps its level within 1 %.
TEST(ShippedDetailModelTest, RemovesMostNoiseAndKeepsFlatLevels) {
    const fs::path model =
        fs::path(build_config::kSourceResourcesDir) / "models" / "MatchFilter.onnx";
    CoreMLDenoiser denoiser(model, configuration(64));
    const int width = 700, height = 520;
    const float levels[4][4] = {{0.20f, 0.40f, 0.15f, 0.40f},
                                {0.05f, 0.10f, 0.04f, 0.10f},
                                {0.60f, 0.80f, 0.50f, 0.80f},
                                {0.30f, 0.30f, 0.30f, 0.30f}};
    const auto patchOf = [&](int x, int y) {
        return (x < width / 2 ? 0 : 1) + (y < height / 2 ? 0 : 2);
    };
    const CoreMLDenoiser::NoiseProfile noise{{4e-4f, 2e-4f, 5e-4f, 2e-4f},
                                             {1e-5f, 1e-5f, 1e-5f, 1e-5f}};
    std::mt19937 random(2024);
    std::normal_distribution<float> normal;
    const auto source =
        makeSensorTexture(PixelFormat::rgba32Float, width, height, [&](int x, int y, int k) {
            const float truth = levels[patchOf(x, y)][k];
            return truth +
                   std::sqrt(noise.readVariance[k] + noise.shot[k] * truth) * normal(random);
        });
    const std::vector<float> noisy = samplesOf(*source);
    const std::vector<float> denoised =
        samplesOf(denoiser.denoise(*source, noise, device(), never));
    for (int patch = 0; patch < 4; ++patch) {
        for (int channel = 0; channel < 4; ++channel) {
            double inputSquares = 0, outputSquares = 0, outputSum = 0;
            int count = 0;
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x) {
                    // Away from the patch edges, where the filter rightly keeps the step.
                    if (patchOf(x, y) != patch || std::abs(x - width / 2) < 8 ||
                        std::abs(y - height / 2) < 8) {
                        continue;
                    }
                    const std::size_t index = (static_cast<std::size_t>(y) * width + x) * 4 +
                                              static_cast<std::size_t>(channel);
                    const double truth = levels[patch][channel];
                    inputSquares += (noisy[index] - truth) * (noisy[index] - truth);
                    outputSquares += (denoised[index] - truth) * (denoised[index] - truth);
                    outputSum += denoised[index];
                    ++count;
                }
            }
            EXPECT_GE(std::sqrt(inputSquares / outputSquares), 2.0) << patch << " " << channel;
            EXPECT_NEAR(outputSum / count / levels[patch][channel], 1.0, 0.01)
                << patch << " " << channel;
        }
    }
}

}  // namespace
}  // namespace quillmere
