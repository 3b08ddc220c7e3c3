#include "core/reading/sealed_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "core/reading/reader_protocol.h"
#include "tests/fixtures/temporary_folder.h"

namespace quillmere {
namespace {

using reader_protocol::kSeals;

// A memory file holding `bytes`, with `seals`.
int memoryFile(const std::string& bytes, int seals) {
    const int file = memfd_create("test", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    EXPECT_EQ(write(file, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    if (seals != 0) {
        EXPECT_EQ(fcntl(file, F_ADD_SEALS, seals), 0);
    }
    return file;
}

// A file of the file system holding `bytes`.
int regularFile(const std::filesystem::path& path, const std::string& bytes) {
    const int file = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    EXPECT_EQ(write(file, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    return file;
}

bool closed(int descriptor) { return fcntl(descriptor, F_GETFD) < 0; }

TEST(SealedFile, OnlyAMemoryFileWithEverySealAndTheSizeSaidIsTaken) {
    const testing::TemporaryFolder folder;
    int pipes[2] = {-1, -1};
    ASSERT_EQ(pipe2(pipes, O_CLOEXEC), 0);
    ASSERT_EQ(write(pipes[1], "abcd", 4), 4);
    close(pipes[1]);
    const struct {
        const char* what;
        int descriptor;
        std::uint64_t bytes;
        bool taken;
    } cases[] = {
        {"sealed", memoryFile("abcd", kSeals), 4, true},
        {"unsealed", memoryFile("abcd", 0), 4, false},
        {"without the shrink seal", memoryFile("abcd", kSeals & ~F_SEAL_SHRINK), 4, false},
        {"without the grow seal", memoryFile("abcd", kSeals & ~F_SEAL_GROW), 4, false},
        {"without the write seal", memoryFile("abcd", kSeals & ~F_SEAL_WRITE), 4, false},
        {"without the seal seal", memoryFile("abcd", kSeals & ~F_SEAL_SEAL), 4, false},
        {"shorter than said", memoryFile("abc", kSeals), 4, false},
        {"longer than said", memoryFile("abcde", kSeals), 4, false},
        {"empty", memoryFile("", kSeals), 0, false},
        {"a regular file", regularFile(folder.path() / "plain", "abcd"), 4, false},
        {"a pipe", pipes[0], 4, false},
    };
    for (const auto& [what, descriptor, bytes, taken] : cases) {
        std::optional<SealedFile> file = SealedFile::accept(descriptor, bytes);
        EXPECT_EQ(file.has_value(), taken) << what;
        EXPECT_TRUE(closed(descriptor)) << what;
        if (file) {
            EXPECT_EQ(std::string(reinterpret_cast<char*>(file->data()), 4), "abcd");
        }
    }
}

TEST(SealedFile, NeitherItsSizeNorItsBytesChangeWhoeverHoldsIt) {
    // Its pages taken as written, the file is made and sealed as one whose pages came first.
    const UniqueDescriptor asWritten = makeSealedFile(
        3, [](std::byte* bytes) { std::memcpy(bytes, "xyz", 3); }, SealedFilePages::asWritten);
    ASSERT_TRUE(SealedFile::accept(dup(asWritten.get()), 3));
    EXPECT_FALSE(makeSealedFile(0, [](std::byte*) {}, SealedFilePages::asWritten));

    const UniqueDescriptor made =
        makeSealedFile(3, [](std::byte* bytes) { std::memcpy(bytes, "xyz", 3); });
    ASSERT_TRUE(made);
    // The sender keeps its descriptor, and can neither shrink, grow nor write the file.
    EXPECT_NE(ftruncate(made.get(), 1), 0);
    EXPECT_NE(ftruncate(made.get(), 9), 0);
    EXPECT_NE(pwrite(made.get(), "a", 1, 0), 1);
    EXPECT_EQ(mmap(nullptr, 3, PROT_WRITE, MAP_SHARED, made.get(), 0), MAP_FAILED);

    std::optional<SealedFile> file = SealedFile::accept(dup(made.get()), 3);
    ASSERT_TRUE(file);
    // Written through its mapping, the receiver's pages are its own copies.
    std::memcpy(file->data(), "abc", 3);
    char held[4] = {};
    EXPECT_EQ(pread(made.get(), held, 3, 0), 3);
    EXPECT_STREQ(held, "xyz");

    const auto [mapping, size] = file->release();
    EXPECT_EQ(file->data(), nullptr);
    EXPECT_EQ(size, 3u);
    munmap(mapping, size);
    EXPECT_FALSE(makeSealedFile(0, [](std::byte*) {}));
}

TEST(SealedFile, FilesAreTakenTogetherOrNotAtAll) {
    const auto files = [](std::initializer_list<std::string> contents) {
        std::vector<UniqueDescriptor> made;
        for (const std::string& bytes : contents) made.emplace_back(memoryFile(bytes, kSeals));
        return made;
    };
    const std::uint64_t sizes[] = {2, 3};
    EXPECT_TRUE(acceptSealedFiles(files({"ab", "cde"}), sizes));
    EXPECT_FALSE(acceptSealedFiles(files({"ab", "cd"}), sizes));
    EXPECT_FALSE(acceptSealedFiles(files({"ab"}), sizes));
    EXPECT_FALSE(acceptSealedFiles(files({"ab", "cde", "f"}), sizes));
}

}  // namespace
}  // namespace quillmere
