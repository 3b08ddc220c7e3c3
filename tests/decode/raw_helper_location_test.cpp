#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "core/decode/raw_file_vetting.h"
#include "tests/fixtures/temporary_folder.h"

namespace quillmere {
namespace {

namespace fs = std::filesystem;
using ::testing::StrEq;
using ::testing::ThrowsMessage;

TEST(RAWHelperLocation, AnInstalledProgramTakesTheHelperBesideItselfAndNoOther) {
    ::unsetenv("QUILLMERE_RAW_CHECK");
    const testing::TemporaryFolder prefix;
    const ProgramFiles installed = ProgramFiles::installed(prefix.path());
    const fs::path folder = prefix.path() / "libexec" / "quillmere";
    const fs::path helper = folder / "quillmere-raw-check";
    // This build tree's helper is in reach, the installed program's is not.
    ASSERT_EQ(access((ProgramFiles::buildTree().helperFolder / helper.filename()).c_str(), X_OK),
              0);
    const auto missing = ThrowsMessage<RAWFileVettingError>(
        StrEq("The RAW checking helper quillmere-raw-check is missing: it is not in " +
              folder.string() + ". Install Quillmere again."));
    EXPECT_THAT([&] { RAWFileVetting::locateHelper(installed); }, missing);
    // A file that is not a program is not the helper.
    fs::create_directories(folder);
    std::ofstream(helper) << "#!/bin/sh\n";
    EXPECT_THAT([&] { RAWFileVetting::locateHelper(installed); }, missing);
    fs::permissions(helper, fs::perms::owner_exec, fs::perm_options::add);
    EXPECT_EQ(RAWFileVetting::locateHelper(installed), helper);

    // Without a place of its own, only the variable names a helper.
    EXPECT_THAT([] { RAWFileVetting::locateHelper(std::nullopt); },
                ThrowsMessage<RAWFileVettingError>(::testing::HasSubstr("/proc/self/exe")));
    ::setenv("QUILLMERE_RAW_CHECK", helper.c_str(), 1);
    EXPECT_EQ(RAWFileVetting::locateHelper(std::nullopt), helper);
    ::unsetenv("QUILLMERE_RAW_CHECK");
}

}  // namespace
}  // namespace quillmere
