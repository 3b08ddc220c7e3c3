#include "core/common/program_files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "tests/fixtures/temporary_folder.h"

namespace quillmere {
namespace {

namespace fs = std::filesystem;

// What the install rules put under a prefix, as the top-level and app/ CMakeLists install them.
ProgramFiles installedUnder(const fs::path& prefix) {
    return {.helperFolder = prefix / "libexec/quillmere",
            .detailModel = prefix / "share/quillmere/Models/MatchFilter.onnx",
            .licenses = prefix / "share/quillmere/Licenses",
            .icon = prefix / "share/icons/hicolor/scalable/apps/quillmere.svg",
            .inBuildTree = false};
}

TEST(ProgramFiles, AProgramInsideTheBuildFolderUsesTheBuildTreeAnyOtherItsOwnPrefix) {
    const testing::TemporaryFolder folder;
    const fs::path build = folder.path() / "build";
    fs::create_directories(folder.path() / "real");
    fs::create_directory_symlink(folder.path() / "real", folder.path() / "linked");
    struct Case {
        fs::path executable, buildFolder;
        bool inBuildTree;
    };
    const Case cases[] = {
        {build / "app/quillmere", build, true},
        {build / "bench/tools/quillmere_decode_photo", build, true},
        // A build folder reached through a link holds the programs /proc/self/exe names by the
        // link's target.
        {folder.path() / "real/tests/core_common_tests", folder.path() / "linked", true},
        {"/opt/q/bin/quillmere", build, false},
        // Inside means whole components: a sibling whose name begins alike is not inside.
        {folder.path() / "build-other/bin/quillmere", build, false},
        {folder.path() / "bin/quillmere", build, false},
        {folder.path() / "bin/quillmere", build / "", false},
    };
    for (const auto& [executable, buildFolder, inBuildTree] : cases) {
        EXPECT_EQ(ProgramFiles::forExecutable(executable, buildFolder),
                  inBuildTree ? ProgramFiles::buildTree()
                              : installedUnder(executable.parent_path().parent_path()))
            << executable << " built in " << buildFolder;
    }
}

TEST(ProgramFiles, ThisTestRunsFromTheBuildTreeWhoseFilesAreAllThere) {
    const std::optional<ProgramFiles>& files = ProgramFiles::forProcess();
    ASSERT_TRUE(files.has_value());
    EXPECT_EQ(*files, ProgramFiles::buildTree());
    EXPECT_EQ(access((files->helperFolder / "quillmere-raw-check").c_str(), X_OK), 0);
    EXPECT_TRUE(fs::is_regular_file(files->detailModel));
    EXPECT_TRUE(fs::is_regular_file(files->licenses / "libraw20.txt"));
    EXPECT_TRUE(fs::is_regular_file(files->icon));
}

}  // namespace
}  // namespace quillmere
