#include "core/reading/sealed_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

#include "core/reading/reader_protocol.h"

namespace quillmere {
namespace {

using reader_protocol::kSeals;

// Whether `file` is a memory file sealed with kSeals and exactly `bytes` long. Only a file that
// can carry seals (a memory file made to) answers F_GET_SEALS.
bool isSealedAndSized(int file, std::uint64_t bytes) {
    const int seals = fcntl(file, F_GET_SEALS);
    if (seals < 0 || (seals & kSeals) != kSeals) return false;
    struct stat status {};
    return fstat(file, &status) == 0 && S_ISREG(status.st_mode) &&
           static_cast<std::uint64_t>(status.st_size) == bytes;
}

}  // namespace

std::optional<SealedFile> SealedFile::accept(int descriptor, std::uint64_t bytes) {
    const UniqueDescriptor file(descriptor);
    if (bytes < 1 || !isSealedAndSized(file.get(), bytes)) return std::nullopt;
    // The mapping keeps the file after its descriptor is closed.
    void* mapping = mmap(nullptr, static_cast<std::size_t>(bytes), PROT_READ | PROT_WRITE,
                         MAP_PRIVATE, file.get(), 0);
    if (mapping == MAP_FAILED) return std::nullopt;
    return SealedFile(static_cast<std::byte*>(mapping), bytes);
}

SealedFile::SealedFile(SealedFile&& other) noexcept
    : mapping_(std::exchange(other.mapping_, nullptr)), size_(std::exchange(other.size_, 0)) {}

SealedFile& SealedFile::operator=(SealedFile&& other) noexcept {
    if (this != &other) {
        if (mapping_) munmap(mapping_, static_cast<std::size_t>(size_));
        mapping_ = std::exchange(other.mapping_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

SealedFile::~SealedFile() {
    if (mapping_) munmap(mapping_, static_cast<std::size_t>(size_));
}

std::pair<std::byte*, std::uint64_t> SealedFile::release() {
    return {std::exchange(mapping_, nullptr), std::exchange(size_, 0)};
}

std::optional<std::vector<SealedFile>> acceptSealedFiles(std::vector<UniqueDescriptor> files,
                                                         std::span<const std::uint64_t> bytes) {
    if (files.size() != bytes.size()) return std::nullopt;
    std::vector<SealedFile> accepted;
    for (std::size_t index = 0; index < files.size(); ++index) {
        std::optional<SealedFile> file = SealedFile::accept(files[index].release(), bytes[index]);
        // The files not yet taken close with `files`.
        if (!file) return std::nullopt;
        accepted.push_back(std::move(*file));
    }
    return accepted;
}

UniqueDescriptor makeSealedFile(std::uint64_t bytes, const std::function<void(std::byte*)>& fill,
                                SealedFilePages pages) {
    UniqueDescriptor file(memfd_create("quillmere-sealed", MFD_CLOEXEC | MFD_ALLOW_SEALING));
    if (!file || bytes < 1) return {};
    const auto length = static_cast<off_t>(bytes);
    const bool sized = pages == SealedFilePages::reservedFirst
                           ? fallocate(file.get(), 0, 0, length) == 0
                           : ftruncate(file.get(), length) == 0;
    if (!sized) return {};
    {
        // Filled through a mapping, which is gone before the write seal: the kernel refuses that
        // seal while a shared writable mapping lives.
        const std::size_t size = static_cast<std::size_t>(bytes);
        void* mapping = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, file.get(), 0);
        if (mapping == MAP_FAILED) return {};
        const std::unique_ptr<void, std::function<void(void*)>> unmapped(
            mapping, [size](void* mapped) { munmap(mapped, size); });
        fill(static_cast<std::byte*>(mapping));
    }
    if (fcntl(file.get(), F_ADD_SEALS, kSeals) != 0) return {};
    return file;
}

}  // namespace quillmere
