#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <opencv2/dnn.hpp>
#include <random>
#include <vector>

#include "core/common/build_config.h"
#include "core/decode/core_ml_denoiser.h"
#include "core/decode/core_ml_denoiser_error.h"
#include "tests/decode/denoiser_test_support.h"
#include "tests/fixtures/onnx_model_writer.h"
#include "tests/fixtures/temporary_folder.h"

namespace quillmere {
namespace {

namespace fs = std::filesystem;
using namespace denoiser_testing;
using test_fixtures::ONNXTensorDeclaration;

constexpr int kDouble = 11;  // onnx::TensorProto::DOUBLE

class CoreMLDenoiserModelTest : public ::testing::Test {
  protected:
    fs::path writeModel(const std::vector<ONNXTensorDeclaration>& inputs,
                        const std::vector<ONNXTensorDeclaration>& outputs,
                        bool weightsAsInputs = false) {
        const fs::path path = folder_ / ("model" + std::to_string(++models_) + ".onnx");
        test_fixtures::writeChannelCopyModel(path, inputs, outputs, weightsAsInputs);
        return path;
    }

    static std::string rejection(const fs::path& model) {
        try {
            CoreMLDenoiser denoiser(model, configuration(8));
        } catch (const CoreMLDenoiserError& error) {
            EXPECT_EQ(error.code(), CoreMLDenoiserError::Code::invalidModel);
            return error.what();
        }
        ADD_FAILURE() << "the model was accepted";
        return {};
    }

    const testing::TemporaryFolder temporary_;
    const fs::path folder_ = temporary_.path();
    int models_ = 0;
};

const ONNXTensorDeclaration kImage{"image", {1, 8, 32, 32}};
const ONNXTensorDeclaration kDenoised{"denoised", {1, 4, 32, 32}};

TEST_F(CoreMLDenoiserModelTest, IdentityModelRunsThroughTheTilesAndCopiesExactly) {
    for (const bool weightsAsInputs : {false, true}) {
        CoreMLDenoiser denoiser(writeModel({kImage}, {kDenoised}, weightsAsInputs),
                                configuration(8));
        EXPECT_EQ(denoiser.tileSize(), 32);
        const auto source = makeSensorTexture(PixelFormat::rgba32Float, 70, 45, scatteredSample);
        EXPECT_EQ(samplesOf(denoiser.denoise(*source, kSomeNoise, device(), never)),
                  samplesOf(*source));
    }
}

TEST_F(CoreMLDenoiserModelTest, MissingOrUnreadableFilesAreRejected) {
    const std::string prefix = "The local denoise model is incompatible: ";
    EXPECT_EQ(rejection(folder_ / "absent.onnx"), prefix + "model file is missing");
    std::ofstream(folder_ / "garbage.onnx") << "\x08\x07 this is not a model \xff\xff\xff";
    EXPECT_EQ(rejection(folder_ / "garbage.onnx"),
              prefix + "model file is not a readable ONNX model");
    EXPECT_EQ(rejection(folder_), prefix + "model file is not a readable ONNX model");
}

TEST_F(CoreMLDenoiserModelTest, DeclaredInputAndOutputMustMatchTheTiles) {
    const std::string prefix = "The local denoise model is incompatible: ";
    const std::string imageType = prefix + "image input must be a Float32 multi-array";
    const std::string imageShape = prefix + "expected image shape [1, 8, tile, tile]";
    const std::string output = prefix + "output must be Float32 [1, 4, tile, tile]";

    EXPECT_EQ(rejection(writeModel({{"pixels", {1, 8, 32, 32}}}, {kDenoised})), imageType);
    EXPECT_EQ(rejection(writeModel({{"image", {1, 8, 32, 32}, kDouble}}, {kDenoised})), imageType);
    EXPECT_EQ(rejection(writeModel({{"image", {1, 8, 32, 16}}}, {kDenoised})), imageShape);
    EXPECT_EQ(rejection(writeModel({{"image", {1, 4, 32, 32}}}, {kDenoised})), imageShape);
    EXPECT_EQ(rejection(writeModel({{"image", {8, 32, 32}}}, {kDenoised})), imageShape);
    EXPECT_EQ(rejection(writeModel({{"image", {1, 8, -1, -1}}}, {kDenoised})), imageShape);
    EXPECT_EQ(rejection(writeModel({{"image", {}}}, {kDenoised})), imageShape);
    EXPECT_EQ(rejection(writeModel({kImage}, {{"denoised", {1, 3, 32, 32}}})), output);
    EXPECT_EQ(rejection(writeModel({kImage}, {{"denoised", {1, 4, 16, 16}}})), output);
    EXPECT_EQ(rejection(writeModel({kImage}, {{"denoised", {1, 4, 32, 32}, kDouble}})), output);
    EXPECT_EQ(rejection(writeModel({kImage}, {{"result", {1, 4, 32, 32}}})), output);
}

TEST_F(CoreMLDenoiserModelTest, ExtraInputsAndOversizedTilesAreRejected) {
    const std::string prefix = "The local denoise model is incompatible: ";
    EXPECT_EQ(rejection(writeModel({kImage, {"strength", {1}}}, {kDenoised})),
              prefix + "model has unconfigured inputs");
    EXPECT_EQ(
        rejection(writeModel({{"image", {1, 8, 4096, 4096}}}, {{"denoised", {1, 4, 4096, 4096}}})),
        prefix + "invalid tile size or overlap");
    EXPECT_EQ(rejection(writeModel({{"image", {1, 8, 8, 8}}}, {{"denoised", {1, 4, 8, 8}}})),
              prefix + "invalid tile size or overlap");
}

TEST_F(CoreMLDenoiserModelTest, AModelOpenCVCannotLoadGivesTheDenoisersErrorAndNoLog) {
    const fs::path model = folder_ / "unknown_operator.onnx";
    test_fixtures::writeChannelCopyModel(model, {kImage}, {kDenoised}, false, "NoSuchOperator");
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(rejection(model),
              "The local denoise model is incompatible: the model cannot be loaded");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

fs::path shippedModel() {
    return fs::path(build_config::kSourceResourcesDir) / "models" / "MatchFilter.onnx";
}

// Tiles overlap by far less than a tile, so the model's border samples count: a flat tile must
// stay flat up to its edges, which it only does when window means leave the outside out.
TEST(ShippedDetailModelTest, KeepsAFlatTileFlatUpToItsEdges) {
    cv::dnn::Net net = cv::dnn::readNetFromONNX(shippedModel().string());
    const int tile = CoreMLDenoiser(shippedModel(), configuration(64)).tileSize();
    const int shape[] = {1, 8, tile, tile};
    cv::Mat image(4, shape, CV_32F);
    const cv::Range samples[] = {cv::Range::all(), cv::Range(0, 4), cv::Range::all(),
                                 cv::Range::all()};
    const cv::Range deviations[] = {cv::Range::all(), cv::Range(4, 8), cv::Range::all(),
                                    cv::Range::all()};
    image(samples).setTo(0.3f);
    image(deviations).setTo(0.01f);
    net.setInput(image, "image");
    const cv::Mat prediction = net.forward("denoised");
    double lowest = 0;
    double highest = 0;
    cv::minMaxIdx(prediction, &lowest, &highest);
    EXPECT_NEAR(lowest, 0.3, 1e-6);
    EXPECT_NEAR(highest, 0.3, 1e-6);
}

// A packed Bayer texture of four flat patches with sensor noise of a known profile, denoised by the
// shipped model through the whole tiled path: the noise must fall at least by half while every
// patch keeps its level within 1 %.
TEST(ShippedDetailModelTest, RemovesMostNoiseAndKeepsFlatLevels) {
    CoreMLDenoiser denoiser(shippedModel(), configuration(64));
    const int width = 700;
    const int height = 520;
    const std::array<std::array<float, 4>, 4> levels{{{0.20f, 0.40f, 0.15f, 0.40f},
                                                      {0.05f, 0.10f, 0.04f, 0.10f},
                                                      {0.60f, 0.80f, 0.50f, 0.80f},
                                                      {0.30f, 0.30f, 0.30f, 0.30f}}};
    const auto patchOf = [&](int x, int y) {
        return static_cast<std::size_t>((x < width / 2 ? 0 : 1) + (y < height / 2 ? 0 : 2));
    };
    const CoreMLDenoiser::NoiseProfile noise{{4e-4f, 2e-4f, 5e-4f, 2e-4f},
                                             {1e-5f, 1e-5f, 1e-5f, 1e-5f}};
    std::mt19937 random(2024);
    std::normal_distribution<float> normal;
    const auto source =
        makeSensorTexture(PixelFormat::rgba32Float, width, height, [&](int x, int y, int k) {
            const auto channel = static_cast<std::size_t>(k);
            const float truth = levels[patchOf(x, y)][channel];
            return truth + std::sqrt(noise.readVariance[channel] + noise.shot[channel] * truth) *
                               normal(random);
        });
    const std::vector<float> noisy = samplesOf(*source);
    const std::vector<float> denoised =
        samplesOf(denoiser.denoise(*source, noise, device(), never));

    for (std::size_t patch = 0; patch < 4; ++patch) {
        for (std::size_t channel = 0; channel < 4; ++channel) {
            double inputSquares = 0;
            double outputSquares = 0;
            double outputSum = 0;
            std::size_t count = 0;
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x) {
                    // Away from the patch edges, where the filter rightly keeps the step.
                    if (patchOf(x, y) != patch || std::abs(x - width / 2) < 8 ||
                        std::abs(y - height / 2) < 8) {
                        continue;
                    }
                    const std::size_t index =
                        (static_cast<std::size_t>(y) * width + x) * 4 + channel;
                    const double truth = levels[patch][channel];
                    inputSquares += (noisy[index] - truth) * (noisy[index] - truth);
                    outputSquares += (denoised[index] - truth) * (denoised[index] - truth);
                    outputSum += denoised[index];
                    ++count;
                }
            }
            const double inputDeviation = std::sqrt(inputSquares / count);
            const double outputDeviation = std::sqrt(outputSquares / count);
            const double meanRatio = outputSum / count / levels[patch][channel];
            std::cout << "patch " << patch << " channel " << channel << ": noise " << inputDeviation
                      << " -> " << outputDeviation << " (" << inputDeviation / outputDeviation
                      << "x), mean ratio " << meanRatio << "\n";
            EXPECT_GE(inputDeviation / outputDeviation, 2.0) << patch << " " << channel;
            EXPECT_NEAR(meanRatio, 1.0, 0.01) << patch << " " << channel;
        }
    }
}

}  // namespace
}  // namespace quillmere
