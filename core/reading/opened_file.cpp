#include "core/reading/opened_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "core/reading/reading_error.h"

namespace quillmere {
namespace {

std::int64_t nanoseconds(const timespec& time) {
    return std::int64_t{time.tv_sec} * 1'000'000'000 + time.tv_nsec;
}

FileVersion versionOf(const std::filesystem::path& path, const struct stat& status) {
    return {path.string(),
            status.st_dev,
            status.st_ino,
            static_cast<std::uint64_t>(status.st_size),
            nanoseconds(status.st_mtim),
            nanoseconds(status.st_ctim)};
}

[[noreturn]] void fail(int error, const std::filesystem::path& path) {
    throw ReadingError(error == ENOENT || error == ENOTDIR ? ReadingError::Kind::notFound
                                                           : ReadingError::Kind::unreadable,
                       path);
}

}  // namespace

OpenedFile::OpenedFile(std::filesystem::path path, UniqueDescriptor descriptor, FileVersion version)
    : path_(std::move(path)), descriptor_(std::move(descriptor)), version_(std::move(version)) {}

std::shared_ptr<const OpenedFile> OpenedFile::open(const std::filesystem::path& path) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) fail(errno, path);
    if (!S_ISREG(status.st_mode)) throw ReadingError(ReadingError::Kind::notRegularFile, path);
    UniqueDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!file) fail(errno, path);
    if (fstat(file.get(), &status) != 0) fail(errno, path);
    if (!S_ISREG(status.st_mode)) throw ReadingError(ReadingError::Kind::notRegularFile, path);
    // Opened without waiting in case a FIFO took the file's place; a regular file's reads block.
    const int flags = fcntl(file.get(), F_GETFL);
    if (flags < 0 || fcntl(file.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) fail(errno, path);
    return std::shared_ptr<const OpenedFile>(
        new OpenedFile(path, std::move(file), versionOf(path, status)));
}

bool OpenedFile::isCurrent() const {
    struct stat status {};
    return stat(path_.c_str(), &status) == 0 && versionOf(path_, status) == version_;
}

}  // namespace quillmere
