#include "core/common/file_io.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/fixtures/temporary_folder.h"

namespace quillmere::file_io {
namespace {

namespace fs = std::filesystem;

class FileIOTest : public ::testing::Test {
protected:
    std::size_t entryCount() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()));
    }
    const quillmere::testing::TemporaryFolder temporary_;
    const fs::path folder_ = temporary_.path();
};

TEST_F(FileIOTest, AtomicWriteReplacesAndLeavesNoTemporaryFile) {
    const fs::path file = folder_ / "edit.json";
    writeFileAtomically(file, "first");
    writeFileAtomically(file, "second");
    EXPECT_EQ(readFile(file), "second");
    EXPECT_EQ(entryCount(), 1u);
}

TEST_F(FileIOTest, FailedAtomicWriteKeepsTheOldFile) {
    const fs::path file = folder_ / "edit.json";
    writeFileAtomically(file, "kept");
    EXPECT_THROW(writeFileAtomically(folder_ / "missing" / "edit.json", "x"), std::system_error);
    // A folder standing where the file should go cannot be replaced by a file.
    fs::create_directory(folder_ / "folder.json");
    EXPECT_THROW(writeFileAtomically(folder_ / "folder.json", "x"), std::system_error);
    EXPECT_EQ(readFile(file), "kept");
    EXPECT_EQ(entryCount(), 2u);
}

TEST_F(FileIOTest, NewFileNeverReplacesAnExistingOne) {
    const fs::path file = folder_ / "photo_edit.jpg";
    EXPECT_TRUE(writeNewFile(file, "one"));
    EXPECT_FALSE(writeNewFile(file, "two"));
    EXPECT_EQ(readFile(file), "one");
    EXPECT_EQ(entryCount(), 1u);
}

TEST_F(FileIOTest, ReadFileRespectsItsLimit) {
    writeFileAtomically(folder_ / "big", std::string(100, 'x'));
    EXPECT_FALSE(readFile(folder_ / "big", 99));
    EXPECT_EQ(readFile(folder_ / "big", 100)->size(), 100u);
    EXPECT_FALSE(readFile(folder_ / "absent"));
}

}  // namespace
}  // namespace quillmere::file_io
