#include "reader/metadata/mapped_file.h"

#include <sys/mman.h>

#include <limits>
#include <utility>

namespace quillmere {

std::optional<MappedFile> MappedFile::map(int descriptor, std::uint64_t size) {
    if (size == 0) return MappedFile(nullptr, 0);
    if (size > std::numeric_limits<std::size_t>::max()) return std::nullopt;
    void* mapping =
        mmap(nullptr, static_cast<std::size_t>(size), PROT_READ, MAP_PRIVATE, descriptor, 0);
    if (mapping == MAP_FAILED) return std::nullopt;
    return MappedFile(mapping, static_cast<std::size_t>(size));
}

MappedFile::MappedFile(MappedFile&& other) noexcept
    : mapping_(std::exchange(other.mapping_, nullptr)), size_(std::exchange(other.size_, 0)) {}

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
    std::swap(mapping_, other.mapping_);
    std::swap(size_, other.size_);
    return *this;
}

MappedFile::~MappedFile() {
    if (mapping_ != nullptr) munmap(mapping_, size_);
}

}  // namespace quillmere
