#include "core/decode/match_filter_model.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "core/common/build_config.h"
#include "core/decode/raw_loader_error.h"
#include "tests/fixtures/temporary_folder.h"

namespace quillmere {
namespace {

namespace fs = std::filesystem;

class MatchFilterModelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(installed() / "Models");
        fs::create_directories(source() / "models");
    }

    fs::path installed() const { return folder_ / "share"; }
    fs::path source() const { return folder_ / "checkout" / "resources"; }
    static void touch(const fs::path& path) { std::ofstream(path) << "model"; }

    MatchFilterModel::SearchLocations locations(
        std::optional<std::string> configured = std::nullopt) const {
        return {std::move(configured), installed(), source()};
    }

    static std::string failureOf(const MatchFilterModel::SearchLocations& locations) {
        try {
            MatchFilterModel::url(locations);
        } catch (const RAWLoaderError& error) {
            EXPECT_EQ(error.code(), RAWLoaderError::Code::renderFailed);
            return error.what();
        }
        ADD_FAILURE() << "the lookup found a model";
        return {};
    }

    const testing::TemporaryFolder temporary_;
    const fs::path folder_ = temporary_.path();
};

TEST_F(MatchFilterModelTest, TheConfiguredPathThenTheInstalledModelThenTheSourceTree) {
    EXPECT_EQ(failureOf(locations()),
              "The Detail model is missing. Build Quillmere with its prepared model resources.");
    touch(source() / "models" / "MatchFilter.onnx");
    EXPECT_EQ(MatchFilterModel::url(locations()), source() / "models" / "MatchFilter.onnx");
    touch(installed() / "Models" / "MatchFilter.onnx");
    EXPECT_EQ(MatchFilterModel::url(locations()), installed() / "Models" / "MatchFilter.onnx");
    const fs::path configured = folder_ / "denoiser.onnx";
    touch(configured);
    EXPECT_EQ(MatchFilterModel::url(locations(configured.string())), configured);
    // A missing configured model fails without looking elsewhere.
    EXPECT_EQ(failureOf(locations((folder_ / "nowhere" / "mine.onnx").string())),
              "The configured Detail model does not exist: mine.onnx");
}

TEST_F(MatchFilterModelTest, ProcessLocationsComeFromTheEnvironmentAndTheBuild) {
    ::unsetenv("QUILLMERE_MATCHFILTER_MODEL");
    MatchFilterModel::SearchLocations fromBuild = MatchFilterModel::processLocations();
    EXPECT_FALSE(fromBuild.configuredPath);
    EXPECT_EQ(fromBuild.installedResources, fs::path(build_config::kInstalledResourcesDir));
    EXPECT_EQ(fromBuild.sourceResources, fs::path(build_config::kSourceResourcesDir));
    // This checkout carries its model, so the process finds one.
    EXPECT_TRUE(fs::exists(MatchFilterModel::url()));

    const fs::path configured = folder_ / "override.onnx";
    touch(configured);
    ::setenv("QUILLMERE_MATCHFILTER_MODEL", configured.c_str(), 1);
    EXPECT_EQ(MatchFilterModel::url(), configured);
    ::setenv("QUILLMERE_MATCHFILTER_MODEL", "", 1);
    EXPECT_EQ(MatchFilterModel::processLocations().configuredPath, "");
    ::unsetenv("QUILLMERE_MATCHFILTER_MODEL");
}

}  // namespace
}  // namespace quillmere
