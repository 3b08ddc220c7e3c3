#include "core/common/file_io.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/fixtures/temporary_folder.h"

namespace quillmere::file_io {
namespace {

namespace fs = std::filesystem;

std::size_t entryCount(const fs::path& folder) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), {}));
}

TEST(FileIO, AtomicWriteReplacesOrFailsKeepingTheOldFileAndNoTemporaryOne) {
    const quillmere::testing::TemporaryFolder temporary;
    const fs::path file = temporary.path() / "edit.json";
    writeFileAtomically(file, "first");
    writeFileAtomically(file, "kept");
    EXPECT_THROW(writeFileAtomically(temporary.path() / "missing" / "edit.json", "x"),
                 std::system_error);
    // A folder standing where the file should go cannot be replaced by a file.
    fs::create_directory(temporary.path() / "folder.json");
    EXPECT_THROW(writeFileAtomically(temporary.path() / "folder.json", "x"), std::system_error);
    EXPECT_EQ(readFile(file), "kept");
    EXPECT_EQ(entryCount(temporary.path()), 2u);
}

TEST(FileIO, NewFileNeverReplacesAnExistingOne) {
    const quillmere::testing::TemporaryFolder temporary;
    const fs::path file = temporary.path() / "photo_edit.jpg";
    EXPECT_TRUE(writeNewFile(file, "one"));
    EXPECT_FALSE(writeNewFile(file, "two"));
    EXPECT_EQ(readFile(file), "one");
    EXPECT_EQ(entryCount(temporary.path()), 1u);
}

TEST(FileIO, ReadFileRespectsItsLimit) {
    const quillmere::testing::TemporaryFolder temporary;
    writeFileAtomically(temporary.path() / "big", std::string(100, 'x'));
    EXPECT_FALSE(readFile(temporary.path() / "big", 99));
    EXPECT_EQ(readFile(temporary.path() / "big", 100)->size(), 100u);
    EXPECT_FALSE(readFile(temporary.path() / "absent"));
}

}  // namespace
}  // namespace quillmere::file_io
