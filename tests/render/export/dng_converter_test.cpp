#include "core/render/export/dng_converter.h"

#include <gtest/gtest.h>

#include <fstream>

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
    EXPECT_EQ(arguments, (std::vector<std::string>{"-c", "-p0", "-d", arguments[3], source_}));
    EXPECT_EQ(fs::path(arguments[3]).parent_path(), fs::temp_directory_path());
    EXPECT_EQ(fs::path(arguments[3]).filename().string().rfind("Quillmere-DNG-", 0), 0u);
    EXPECT_FALSE(fs::exists(arguments[3])) << "the temporary folder was left behind";
    EXPECT_EQ(printed.find("converter"), std::string::npos) << printed;
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
