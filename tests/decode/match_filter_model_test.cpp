#include "core/decode/match_filter_model.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "core/decode/raw_loader_error.h"
#include "tests/fixtures/temporary_folder.h"

namespace quillmere {
namespace {

namespace fs = std::filesystem;

std::string failureOf(const MatchFilterModel::SearchLocations& locations) {
    try {
        MatchFilterModel::url(locations);
    } catch (const RAWLoaderError& error) {
        return error.what();
    }
    return "(found)";
}

TEST(MatchFilterModel, TheConfiguredPathThenTheInstalledModelThenTheSourceTree) {
    const testing::TemporaryFolder temporary;
    const fs::path installed = temporary.path() / "share", source = temporary.path() / "src";
    fs::create_directories(installed / "Models");
    fs::create_directories(source / "models");
    const auto touch = [](const fs::path& path) { std::ofstream(path) << "model"; };
    const auto locations = [&](std::optional<std::string> configured = std::nullopt) {
        return MatchFilterModel::SearchLocations{std::move(configured), installed, source};
    };
    EXPECT_EQ(failureOf(locations()),
              "The Detail model is missing. Build Quillmere with its prepared model resources.");
    touch(source / "models" / "MatchFilter.onnx");
    EXPECT_EQ(MatchFilterModel::url(locations()), source / "models" / "MatchFilter.onnx");
    touch(installed / "Models" / "MatchFilter.onnx");
    EXPECT_EQ(MatchFilterModel::url(locations()), installed / "Models" / "MatchFilter.onnx");
    const fs::path configured = temporary.path() / "denoiser.onnx";
    touch(configured);
    EXPECT_EQ(MatchFilterModel::url(locations(configured.string())), configured);
    // A missing configured model fails without looking elsewhere.
    EXPECT_EQ(failureOf(locations((temporary.path() / "nowhere" / "mine.onnx").string())),
              "The configured Detail model does not exist: mine.onnx");

    // The process's own lookup reads the environment.
    ::setenv("QUILLMERE_MATCHFILTER_MODEL", configured.c_str(), 1);
    EXPECT_EQ(MatchFilterModel::url(), configured);
    ::unsetenv("QUILLMERE_MATCHFILTER_MODEL");
    EXPECT_TRUE(fs::exists(MatchFilterModel::url())) << "this checkout carries its model";
}

}  // namespace
}  // namespace quillmere
