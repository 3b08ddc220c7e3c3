#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <vector>

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

}  // namespace
}  // namespace quillmere
