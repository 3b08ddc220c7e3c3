#pragma once

#include <compare>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "core/reading/unique_descriptor.h"

namespace quillmere {

// One version of a photo file: what fstat says of the regular file the program opened. A file
// rewritten or replaced is another version, whatever size and times it was given: its change time
// moves on (and a file renamed over it has another inode).
struct FileVersion {
    std::string path;
    std::uint64_t device = 0, inode = 0, size = 0;
    std::int64_t modifiedNanoseconds = 0, changedNanoseconds = 0;  // since the epoch
    auto operator<=>(const FileVersion&) const = default;
};

// A photo file opened once, for every reader of this read: the readers get this descriptor, and
// the path is never opened again for it, so that what is read is the file that was looked at,
// whatever is renamed over the path meanwhile.
class OpenedFile {
  public:
    // Looks with stat first and opens nothing but a regular file (opening a FIFO waits for a
    // writer; opening a device may act on it), then opens it read-only and without waiting, and
    // takes it only if the descriptor, too, is a regular file (another file may have been put in
    // its place between the two). Throws ReadingError: notFound, notRegularFile or unreadable.
    static std::shared_ptr<const OpenedFile> open(const std::filesystem::path& path);

    OpenedFile(const OpenedFile&) = delete;
    OpenedFile& operator=(const OpenedFile&) = delete;

    // Read-only, close-on-exec, blocking reads.
    int descriptor() const { return descriptor_.get(); }
    const FileVersion& version() const { return version_; }
    const std::filesystem::path& path() const { return path_; }
    // Whether the path still names the version that was opened (stat, never an open): false once
    // the file was rewritten, replaced, removed or touched.
    bool isCurrent() const;

  private:
    OpenedFile(std::filesystem::path path, UniqueDescriptor descriptor, FileVersion version);

    std::filesystem::path path_;
    UniqueDescriptor descriptor_;
    FileVersion version_;
};

}  // namespace quillmere
