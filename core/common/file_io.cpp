#include "core/common/file_io.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <system_error>

namespace quillmere::file_io {
namespace {

[[noreturn]] void throwErrno(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
}

// A temporary file beside the target, removed again unless it was moved into place.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::filesystem::path& target) {
        std::string name = ".";
        name += target.filename().string();
        name += ".XXXXXX";
        std::string pattern = (target.parent_path() / name).string();
        const int fd = ::mkstemp(pattern.data());
        if (fd < 0) throwErrno("could not create a temporary file beside " + target.string());
        path_ = pattern;
        fd_ = fd;
    }
    ~TemporaryFile() {
        if (fd_ >= 0) ::close(fd_);
        if (!kept_) ::unlink(path_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    void writeAndSync(std::string_view contents) {
        std::size_t written = 0;
        while (written < contents.size()) {
            const ssize_t count = ::write(fd_, contents.data() + written, contents.size() - written);
            if (count < 0) {
                if (errno == EINTR) continue;
                throwErrno("could not write " + path_.string());
            }
            written += static_cast<std::size_t>(count);
        }
        // Files are readable by the user and the group, as an ordinary file the user saved.
        ::fchmod(fd_, 0644);
        if (::fsync(fd_) != 0) throwErrno("could not flush " + path_.string());
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) throwErrno("could not close " + path_.string());
    }

    const std::filesystem::path& path() const { return path_; }
    void keep() { kept_ = true; }

private:
    std::filesystem::path path_;
    int fd_ = -1;
    bool kept_ = false;
};

}  // namespace

void writeFileAtomically(const std::filesystem::path& path, std::string_view contents) {
    TemporaryFile temporary(path);
    temporary.writeAndSync(contents);
    if (::rename(temporary.path().c_str(), path.c_str()) != 0) {
        throwErrno("could not replace " + path.string());
    }
    temporary.keep();
}

bool writeNewFile(const std::filesystem::path& path, std::string_view contents) {
    TemporaryFile temporary(path);
    temporary.writeAndSync(contents);
    if (!renameNoReplace(temporary.path(), path)) return false;
    temporary.keep();
    return true;
}

bool renameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno == EEXIST) return false;
    if (errno != EINVAL && errno != ENOSYS) throwErrno("could not move " + from.string());
    // The file system cannot rename without replacing; a hard link can, for files.
    if (::link(from.c_str(), to.c_str()) != 0) {
        if (errno == EEXIST) return false;
        throwErrno("could not move " + from.string());
    }
    ::unlink(from.c_str());
    return true;
}

std::optional<std::string> readFile(const std::filesystem::path& path, std::uintmax_t maxBytes) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (error || size > maxBytes) return std::nullopt;
    std::ifstream stream(path, std::ios::binary);
    if (!stream) return std::nullopt;
    std::string contents(static_cast<std::size_t>(size), '\0');
    if (!stream.read(contents.data(), static_cast<std::streamsize>(size))) return std::nullopt;
    return contents;
}

}  // namespace quillmere::file_io
