#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace quillmere {

// A file's bytes mapped read-only rather than read into memory: a mapping of a file is no data of
// the process, so it costs nothing of a reader's data limit, and only the pages touched are read.
// Moved, never copied; unmapped when it goes.
class MappedFile {
  public:
    // The first `size` bytes of the file open at `descriptor` (the size fstat gave); nothing when
    // they cannot be mapped. An empty file maps to no bytes.
    static std::optional<MappedFile> map(int descriptor, std::uint64_t size);

    MappedFile(MappedFile&& other) noexcept;
    MappedFile& operator=(MappedFile&& other) noexcept;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    ~MappedFile();

    std::string_view bytes() const { return {static_cast<const char*>(mapping_), size_}; }

  private:
    MappedFile(void* mapping, std::size_t size) : mapping_(mapping), size_(size) {}

    void* mapping_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace quillmere
