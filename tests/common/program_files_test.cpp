#include "core/common/program_files.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/fixtures/temporary_folder.h"

namespace quillmere {
namespace {

namespace fs = std::filesystem;

TEST(ProgramFiles, AProgramInsideTheBuildFolderUsesTheBuildTreeAnyOtherItsOwnPrefix) {
    const testing::TemporaryFolder folder;
    const fs::path build = folder.path() / "build", real = folder.path() / "real";
    fs::create_directories(real);
    fs::create_directory_symlink(real, folder.path() / "linked");
    const struct {
        fs::path executable, buildFolder;
        bool inBuildTree;
    } cases[] = {
        {build / "bench/tools/quillmere_decode_photo", build, true},
        // /proc/self/exe names a program by the link's target.
        {real / "tests/core_common_tests", folder.path() / "linked", true},
        {"/opt/q/bin/quillmere", build, false},
        // Inside is by whole names: build-other is not in build.
        {folder.path() / "build-other/bin/quillmere", build, false},
    };
    for (const auto& [executable, buildFolder, inBuildTree] : cases) {
        // What the install rules put under the prefix.
        const fs::path prefix = executable.parent_path().parent_path();
        const ProgramFiles installed{prefix / "libexec/quillmere",
                                     prefix / "share/quillmere/Models/MatchFilter.onnx",
                                     prefix / "share/quillmere/Licenses",
                                     prefix / "share/icons/hicolor/scalable/apps/quillmere.svg"};
        EXPECT_EQ(ProgramFiles::forExecutable(executable, buildFolder),
                  inBuildTree ? ProgramFiles::buildTree() : installed)
            << executable;
    }
    // This test runs from the build tree, whose files are in the checkout.
    const ProgramFiles own = ProgramFiles::forProcess().value();
    EXPECT_EQ(own, ProgramFiles::buildTree());
    for (const fs::path& file : {own.detailModel, own.licenses / "libraw20.txt", own.icon}) {
        EXPECT_TRUE(fs::is_regular_file(file)) << file;
    }
}

}  // namespace
}  // namespace quillmere
