#include "core/reading/opened_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/stat.h>

#include <climits>

#include "core/reading/reading_error.h"
#include "tests/reading/reading_test_support.h"

namespace quillmere {
namespace {

namespace fs = std::filesystem;
using Kind = ReadingError::Kind;

class OpenedFileTest : public testing::ReadingTest {};

TEST_F(OpenedFileTest, OpensARegularFileOnceAndNothingElse) {
    const fs::path file = photo("a.raw", "12345");
    const auto opened = OpenedFile::open(file);
    struct stat status {};
    ASSERT_EQ(stat(file.c_str(), &status), 0);
    EXPECT_EQ(opened->version().inode, status.st_ino);
    EXPECT_EQ(opened->version().size, 5u);
    EXPECT_EQ(opened->version().path, file.string());
    // Reads block as a regular file's do; the descriptor is the program's alone.
    const int flags = fcntl(opened->descriptor(), F_GETFL);
    EXPECT_EQ(flags & (O_NONBLOCK | O_ACCMODE), O_RDONLY);
    EXPECT_NE(fcntl(opened->descriptor(), F_GETFD) & FD_CLOEXEC, 0);

    // A FIFO is refused at once, never opened (which would wait for a writer), nor is a folder.
    fifo("fifo.raw");
    fs::create_directory(folder.path() / "folder.raw");
    const UniqueDescriptor watch(inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    for (const char* name : {"fifo.raw", "folder.raw"}) {
        ASSERT_GE(inotify_add_watch(watch.get(), (folder.path() / name).c_str(), IN_OPEN), 0);
    }
    const std::tuple<fs::path, Kind, std::string> refused[] = {
        {folder.path() / "fifo.raw", Kind::notRegularFile, "fifo.raw is not a regular file."},
        {folder.path() / "folder.raw", Kind::notRegularFile, "folder.raw is not a regular file."},
        {folder.path() / "gone.raw", Kind::notFound, "gone.raw cannot be found."},
        {folder.path() / "a.raw/inside", Kind::notFound, "inside cannot be found."},
    };
    for (const auto& [path, kind, sentence] : refused) {
        const ReadingError error = testing::errorOf([&] { OpenedFile::open(path); });
        EXPECT_EQ(error.kind(), kind) << path;
        EXPECT_EQ(error.what(), sentence);
    }
    char event[sizeof(inotify_event) + NAME_MAX + 1];
    EXPECT_LT(read(watch.get(), event, sizeof event), 0);
}

}  // namespace
}  // namespace quillmere
