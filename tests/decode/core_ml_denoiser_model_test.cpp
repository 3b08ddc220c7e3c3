#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "core/common/program_files.h"
#include "core/decode/core_ml_denoiser.h"
#include "core/decode/core_ml_denoiser_error.h"
#include "core/decode/match_filter_model.h"
#include "core/decode/raw_loader_error.h"
#include "tests/decode/denoiser_test_support.h"
#include "tests/fixtures/onnx_model_writer.h"
#include "tests/fixtures/temporary_folder.h"

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
        EXPECT_EQ(samplesOf(*denoiser.denoise(*source, kSomeNoise, device(), never)),
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
    const auto failure = [&](const fs::path& model) {
        return testing::failureOf<CoreMLDenoiserError>(
            [&] { CoreMLDenoiser(model, configuration(8)); });
    };
    const auto incompatible = [](const std::string& reason) {
        return std::pair(CoreMLDenoiserError::Code::invalidModel,
                         "The local denoise model is incompatible: " + reason);
    };
    for (const auto& c : cases) {
        const fs::path path = folder.path() / "model.onnx";
        test_fixtures::writeChannelCopyModel(path, c.inputs, c.outputs, false);
        EXPECT_EQ(failure(path), incompatible(c.reason));
    }
    EXPECT_EQ(failure(folder.path() / "absent.onnx"), incompatible("model file is missing"));
    // A model OpenCV cannot load: the denoiser's own error, and no log of OpenCV's.
    test_fixtures::writeChannelCopyModel(folder.path() / "unknown_operator.onnx", {kImage},
                                         {kDenoised}, false, "NoSuchOperator");
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(failure(folder.path() / "unknown_operator.onnx"),
              incompatible("the model cannot be loaded"));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    std::ofstream(folder.path() / "garbage.onnx") << "\x08\x07 this is not a model \xff\xff";
    EXPECT_EQ(failure(folder.path() / "garbage.onnx"),
              incompatible("model file is not a readable ONNX model"));
}

// The sentence the Detail model's lookup fails with.
std::string lookupFailure(const MatchFilterModel::SearchLocations& locations) {
    return testing::messageOf<RAWLoaderError>([&] { MatchFilterModel::url(locations); });
}

TEST(MatchFilterModel, TheConfiguredPathThenTheProgramsOwnModel) {
    const testing::TemporaryFolder temporary;
    const fs::path own = temporary.path() / "share" / "quillmere" / "Models" / "MatchFilter.onnx";
    fs::create_directories(own.parent_path());
    const auto touch = [](const fs::path& path) { std::ofstream(path) << "model"; };
    const auto locations = [&](std::optional<std::string> configured = std::nullopt) {
        return MatchFilterModel::SearchLocations{std::move(configured), own};
    };
    const std::string missing =
        "The Detail model is missing. Build Quillmere with its prepared model resources.";
    EXPECT_EQ(lookupFailure(locations()), missing);
    EXPECT_EQ(lookupFailure({std::nullopt, std::nullopt}), missing)
        << "a program that cannot tell where it is";
    touch(own);
    EXPECT_EQ(MatchFilterModel::url(locations()), own);
    const fs::path configured = temporary.path() / "denoiser.onnx";
    touch(configured);
    EXPECT_EQ(MatchFilterModel::url(locations(configured.string())), configured);
    // A missing configured model fails without looking elsewhere.
    EXPECT_EQ(lookupFailure(locations((temporary.path() / "nowhere" / "mine.onnx").string())),
              "The configured Detail model does not exist: mine.onnx");

    // The process's own lookup reads the environment, then takes the program's own model: for
    // this test, run from the build tree, the checkout's.
    ::setenv("QUILLMERE_MATCHFILTER_MODEL", configured.c_str(), 1);
    EXPECT_EQ(MatchFilterModel::url(), configured);
    ::unsetenv("QUILLMERE_MATCHFILTER_MODEL");
    EXPECT_EQ(MatchFilterModel::url(), ProgramFiles::forProcess()->detailModel);
    EXPECT_TRUE(fs::exists(MatchFilterModel::url())) << "this checkout carries its model";
}

}  // namespace
}  // namespace quillmere
