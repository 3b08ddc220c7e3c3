#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>
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
    // Without advice, the reason is followed by the model file alone.
    const auto incompatible = [](const std::string& reason, const fs::path& model) {
        return std::pair(CoreMLDenoiserError::Code::invalidModel,
                         "The local denoise model is incompatible: " + reason +
                             ". Model file: " + model.string());
    };
    const fs::path path = folder.path() / "model.onnx";
    for (const auto& c : cases) {
        test_fixtures::writeChannelCopyModel(path, c.inputs, c.outputs, false);
        EXPECT_EQ(failure(path), incompatible(c.reason, path));
    }
    EXPECT_EQ(failure(folder.path() / "absent.onnx"),
              incompatible("model file is missing", folder.path() / "absent.onnx"));
    // A model OpenCV cannot load: the denoiser's own error, and no log of OpenCV's.
    test_fixtures::writeChannelCopyModel(path, {kImage}, {kDenoised}, false, "NoSuchOperator");
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(failure(path), incompatible("the model cannot be loaded", path));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
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
    EXPECT_EQ(lookupFailure({std::nullopt, std::nullopt}),
              "The Detail model is missing. Install Quillmere again to restore its Detail model.")
        << "a program that cannot tell where it is names no place";
    EXPECT_THAT(lookupFailure(locations()), ::testing::EndsWith(" Model file: " + own.string()));
    touch(own);
    EXPECT_EQ(MatchFilterModel::url(locations()), own);
    const fs::path configured = temporary.path() / "denoiser.onnx";
    touch(configured);
    EXPECT_EQ(MatchFilterModel::url(locations(configured.string())), configured);
    // A missing configured model fails without looking elsewhere.
    EXPECT_THAT(lookupFailure(locations((temporary.path() / "nowhere" / "mine.onnx").string())),
                ::testing::StartsWith("The configured Detail model does not exist: mine.onnx."));
    // A path relative to the program's folder is named in full.
    EXPECT_THAT(
        lookupFailure(locations("nowhere/mine.onnx")),
        ::testing::EndsWith(" Model file: " + (fs::current_path() / "nowhere/mine.onnx").string()));

    // The process's own lookup reads the environment, then takes the program's own model: for
    // this test, run from the build tree, the checkout's.
    ::setenv("QUILLMERE_MATCHFILTER_MODEL", configured.c_str(), 1);
    EXPECT_EQ(MatchFilterModel::url(), configured);
    ::unsetenv("QUILLMERE_MATCHFILTER_MODEL");
    EXPECT_EQ(MatchFilterModel::url(), ProgramFiles::forProcess()->detailModel);
    EXPECT_TRUE(fs::exists(MatchFilterModel::url())) << "this checkout carries its model";
    EXPECT_TRUE(MatchFilterModel::processLocations().programInBuildTree);
}

// Runs `action` on a thread that has given up overriding file permissions, so that a file no one
// may read cannot be read there even by root, as tests may run. A thread's capabilities are its
// own: the rest of the process keeps its.
void withoutPermissionOverride(const std::function<void()>& action) {
    std::thread([&] {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        std::array<__user_cap_data_struct, _LINUX_CAPABILITY_U32S_3> capabilities{};
        ASSERT_EQ(::syscall(SYS_capget, &header, capabilities.data()), 0);
        for (const unsigned capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH}) {
            capabilities[capability / 32].effective &= ~(1u << (capability % 32));
        }
        ASSERT_EQ(::syscall(SYS_capset, &header, capabilities.data()), 0);
        action();
    }).join();
}

// Wherever the model came from, each way it can fail says so, says what the user can do (an
// installed program never asks for a build) and names the file.
TEST(MatchFilterModel, EveryFailureNamesTheCauseWhatToDoAndTheModelFile) {
    const testing::TemporaryFolder folder;
    const fs::path model = folder.path() / "MatchFilter.onnx";
    const fs::path other = folder.path() / "other.onnx";
    test_fixtures::writeChannelCopyModel(other, {kImage}, {kDenoised});
    const struct {
        const char* origin;
        MatchFilterModel::SearchLocations locations;
        std::string missing, advice;
    } origins[] = {
        {"installed",
         {std::nullopt, model, false},
         "The Detail model is missing.",
         "Install Quillmere again to restore its Detail model."},
        {"build tree",
         {std::nullopt, model, true},
         "The Detail model is missing.",
         "Build Quillmere with its prepared model resources."},
        {"configured",
         {model.string(), other, true},
         "The configured Detail model does not exist: MatchFilter.onnx.",
         "Point QUILLMERE_MATCHFILTER_MODEL at a Detail model, or unset it to use Quillmere’s "
         "own."},
    };
    const std::string unreadable = "The Detail model cannot be read: ";
    const std::string incompatible = "The local denoise model is incompatible: ";
    const struct {
        const char* cause;
        std::function<void()> make;
        std::string failure;  // empty: the origin's missing model
    } causes[] = {
        {"missing", [] {}, ""},
        {"no permission",
         [&] {
             test_fixtures::writeChannelCopyModel(model, {kImage}, {kDenoised});
             fs::permissions(model, fs::perms::none);
         },
         unreadable + "permission denied."},
        {"a folder", [&] { fs::create_directory(model); },
         unreadable + "it is not a regular file."},
        {"a pipe", [&] { ASSERT_EQ(::mkfifo(model.c_str(), 0600), 0); },
         unreadable + "it is not a regular file."},
        // Reading this process's memory from address 0, which nothing maps.
        {"an I/O error", [&] { fs::create_symlink("/proc/self/mem", model); },
         unreadable + "input/output error."},
        {"not a model", [&] { std::ofstream(model) << "\x08\x07 this is not a model \xff\xff"; },
         incompatible + "model file is not an ONNX model."},
        {"other tensors",
         [&] {
             test_fixtures::writeChannelCopyModel(model, {{"pixels", {1, 8, 32, 32}}},
                                                  {{"result", {1, 4, 32, 32}}});
         },
         incompatible + "image input must be a Float32 multi-array."},
    };
    const CoreMLDenoiser::Configuration configuration{"image", "denoised", 8};
    for (const auto& origin : origins) {
        for (const auto& cause : causes) {
            SCOPED_TRACE(std::string(origin.origin) + ", " + cause.cause);
            fs::remove_all(model);
            cause.make();
            std::string message;
            withoutPermissionOverride([&] {
                try {
                    MatchFilterModel::makeDenoiser(origin.locations, configuration);
                } catch (const std::exception& failure) {
                    message = failure.what();
                }
            });
            EXPECT_EQ(message, (cause.failure.empty() ? origin.missing : cause.failure) + " " +
                                   origin.advice + " Model file: " + model.string());
        }
    }
    fs::remove_all(model);
    test_fixtures::writeChannelCopyModel(model, {kImage}, {kDenoised});
    EXPECT_EQ(MatchFilterModel::makeDenoiser(origins[0].locations, configuration)->tileSize(), 32);
}

}  // namespace
}  // namespace quillmere
