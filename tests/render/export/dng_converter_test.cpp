#include "core/render/export/dng_converter.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "core/common/file_io.h"
#include "core/render/export/dng_export_error.h"
#include "tests/fixtures/temporary_folder.h"

namespace quillmere {
namespace {

namespace fs = std::filesystem;

class DNGConverterTest : public ::testing::Test {
  protected:
    void SetUp() override { file_io::writeFileAtomically(source_, "raw"); }

    // A converter that records its arguments, talks on both output streams, runs `body` and
    // exits with `status`.
    fs::path fakeConverter(const std::string& name, const std::string& body, int status = 0) {
        const fs::path script = folder_ / name;
        std::ofstream(script) << "#!/bin/sh\n"
                              << "printf '%s\\n' \"$@\" > '" << argumentsFile().string() << "'\n"
                              << "echo converter output; echo converter warning >&2\n"
                              << body << "\nexit " << status << "\n";
        fs::permissions(script, fs::perms::owner_all);
        return script;
    }

    fs::path argumentsFile() const { return folder_ / "arguments.txt"; }

    std::vector<std::string> recordedArguments() const {
        std::vector<std::string> lines;
        std::ifstream stream(argumentsFile());
        for (std::string line; std::getline(stream, line);) lines.push_back(line);
        return lines;
    }

    DNGExportError::Code failureCode(const DNGConverterSetup& setup) {
        try {
            convertToDNG(source_, setup);
        } catch (const DNGExportError& error) {
            return error.code();
        }
        ADD_FAILURE() << "the conversion succeeded";
        return DNGExportError::Code::invalidDNG;
    }

    testing::TemporaryFolder temporary_;
    const fs::path folder_ = temporary_.path();
    const fs::path source_ = folder_ / "IMG 0001.CR3";
};

TEST_F(DNGConverterTest, RunsTheConverterAndReturnsTheDNGItWrote) {
    const fs::path converter = fakeConverter(
        "converter",
        "printf notes > \"$4/notes.txt\"; printf 'converted dng' > \"$4/IMG 0001.DNG\"");

    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    const std::string dng =
        convertToDNG(source_, {.allowed = true, .executableCandidates = {converter}});
    const std::string printed =
        ::testing::internal::GetCapturedStdout() + ::testing::internal::GetCapturedStderr();

    EXPECT_EQ(dng, "converted dng");
    const std::vector<std::string> arguments = recordedArguments();
    ASSERT_EQ(arguments.size(), 5u);
    EXPECT_EQ(arguments[0], "-c");
    EXPECT_EQ(arguments[1], "-p0");
    EXPECT_EQ(arguments[2], "-d");
    EXPECT_EQ(fs::path(arguments[3]).parent_path(), fs::temp_directory_path());
    EXPECT_EQ(fs::path(arguments[3]).filename().string().rfind("Quillmere-DNG-", 0), 0u);
    EXPECT_EQ(arguments[4], source_.string());
    EXPECT_FALSE(fs::exists(arguments[3])) << "the temporary folder was left behind";
    EXPECT_EQ(printed.find("converter"), std::string::npos) << printed;
}

TEST_F(DNGConverterTest, FailedConversionsRemoveTheirTemporaryFolder) {
    const fs::path failing = fakeConverter("failing", "printf x > \"$4/partial.dng\"", 3);
    EXPECT_EQ(failureCode({.allowed = true, .executableCandidates = {failing}}),
              DNGExportError::Code::conversionFailed);
    ASSERT_EQ(recordedArguments().size(), 5u);
    EXPECT_FALSE(fs::exists(recordedArguments()[3]));

    const fs::path silent = fakeConverter("silent", "printf x > \"$4/photo.tif\"");
    EXPECT_EQ(failureCode({.allowed = true, .executableCandidates = {silent}}),
              DNGExportError::Code::conversionFailed);
    EXPECT_FALSE(fs::exists(recordedArguments()[3]));

    const fs::path killed = fakeConverter("killed", "kill -9 $$");
    EXPECT_EQ(failureCode({.allowed = true, .executableCandidates = {killed}}),
              DNGExportError::Code::conversionFailed);
}

TEST_F(DNGConverterTest, TakesTheFirstCandidateThatIsAnExecutableFile) {
    const fs::path notExecutable = folder_ / "not-executable";
    file_io::writeFileAtomically(notExecutable, "#!/bin/sh\nexit 1\n");
    fs::create_directory(folder_ / "a-folder");
    const fs::path converter = fakeConverter("converter", "printf second > \"$4/out.dng\"");

    const std::string dng =
        convertToDNG(source_, {.allowed = true,
                               .executableCandidates = {folder_ / "missing", notExecutable,
                                                        folder_ / "a-folder", converter}});
    EXPECT_EQ(dng, "second");
}

TEST_F(DNGConverterTest, WithoutAConverterTheUserIsAskedToInstallIt) {
    EXPECT_EQ(failureCode({.allowed = true, .executableCandidates = {folder_ / "missing"}}),
              DNGExportError::Code::converterRequired);
}

TEST_F(DNGConverterTest, OnLinuxEveryEditionRefusesOtherRAWFilesAsTheStoreEditionDoes) {
    EXPECT_EQ(failureCode(DNGConverterSetup::standard()),
              DNGExportError::Code::externalConverterUnavailable);
}

TEST_F(DNGConverterTest, StoreEditionNeverStartsTheConverter) {
    const fs::path converter = fakeConverter("converter", "printf dng > \"$4/out.dng\"");
    EXPECT_EQ(failureCode({.allowed = false, .executableCandidates = {converter}}),
              DNGExportError::Code::externalConverterUnavailable);
    EXPECT_FALSE(fs::exists(argumentsFile()));
}

}  // namespace
}  // namespace quillmere
