#include "core/decode/handed_back_development.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

#include "core/imageio/linear_image.h"

namespace quillmere {
namespace {

constexpr std::uint64_t kBytesPerPixel = 4 * sizeof(std::uint16_t);

// The header of a memory file the helper sealed, if it describes the file exactly.
std::optional<raw_check::DevelopmentHeader> sealedHeader(int file) {
    const int seals = fcntl(file, F_GET_SEALS);
    if (seals < 0 || (seals & raw_check::kDevelopmentSeals) != raw_check::kDevelopmentSeals) {
        return std::nullopt;
    }
    struct stat status {};
    raw_check::DevelopmentHeader header;
    if (fstat(file, &status) != 0 ||
        pread(file, &header, sizeof header, 0) != static_cast<ssize_t>(sizeof header)) {
        return std::nullopt;
    }
    const bool known =
        header.kind == static_cast<std::uint32_t>(raw_check::DevelopmentKind::half) ||
        header.kind == static_cast<std::uint32_t>(raw_check::DevelopmentKind::full);
    if (!known || header.width < 1 || header.height < 1) return std::nullopt;
    const std::uint64_t pixels =
        static_cast<std::uint64_t>(header.width) * static_cast<std::uint64_t>(header.height);
    if (pixels > static_cast<std::uint64_t>(LinearImage::maxPixelCount) ||
        header.pixelBytes != pixels * kBytesPerPixel ||
        static_cast<std::uint64_t>(status.st_size) != sizeof header + header.pixelBytes) {
        return std::nullopt;
    }
    return header;
}

}  // namespace

std::optional<HandedBackDevelopment> HandedBackDevelopment::accept(int descriptor) {
    std::optional<HandedBackDevelopment> accepted;
    if (const std::optional<raw_check::DevelopmentHeader> header = sealedHeader(descriptor)) {
        const std::uint64_t bytes = sizeof *header + header->pixelBytes;
        // The mapping keeps the file after its descriptor is closed.
        void* mapping = mmap(nullptr, bytes, PROT_READ, MAP_SHARED, descriptor, 0);
        if (mapping != MAP_FAILED) accepted = HandedBackDevelopment(mapping, bytes, *header);
    }
    close(descriptor);
    return accepted;
}

HandedBackDevelopment::HandedBackDevelopment(const void* mapping, std::uint64_t bytes,
                                             raw_check::DevelopmentHeader header)
    : mapping_(mapping), bytes_(bytes), header_(header) {}

HandedBackDevelopment::HandedBackDevelopment(HandedBackDevelopment&& other) noexcept
    : mapping_(std::exchange(other.mapping_, nullptr)),
      bytes_(std::exchange(other.bytes_, 0)),
      header_(other.header_) {}

HandedBackDevelopment& HandedBackDevelopment::operator=(HandedBackDevelopment&& other) noexcept {
    if (this != &other) {
        if (mapping_) munmap(const_cast<void*>(mapping_), bytes_);
        mapping_ = std::exchange(other.mapping_, nullptr);
        bytes_ = std::exchange(other.bytes_, 0);
        header_ = other.header_;
    }
    return *this;
}

HandedBackDevelopment::~HandedBackDevelopment() {
    if (mapping_) munmap(const_cast<void*>(mapping_), bytes_);
}

const std::uint16_t* HandedBackDevelopment::rgba() const {
    return reinterpret_cast<const std::uint16_t*>(static_cast<const unsigned char*>(mapping_) +
                                                  sizeof header_);
}

}  // namespace quillmere
