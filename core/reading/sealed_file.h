#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "core/reading/unique_descriptor.h"

namespace quillmere {

// Bytes that came from the other side of the reader's channel in a sealed memory file (a reader's
// pixels, the program's RAW plane or XMP packet), mapped rather than copied. Only a memory file
// made for sealing and carrying every seal of reader_protocol::kSeals is taken: then neither its
// size nor any byte of it can change any more, whoever else holds it. It is mapped private with
// read and write: a writer gets copies of the pages it writes, the sealed file never changes.
// Moved, never copied; the mapping goes with it, unless released.
class SealedFile {
  public:
    // Takes `descriptor` and closes it whatever it is. Nothing unless it is a memory file with
    // every seal of kSeals and exactly `bytes` long, `bytes` at least 1 (the size the receiver
    // derives from the message that came with it, never the file's own).
    static std::optional<SealedFile> accept(int descriptor, std::uint64_t bytes);

    SealedFile(SealedFile&& other) noexcept;
    SealedFile& operator=(SealedFile&& other) noexcept;
    SealedFile(const SealedFile&) = delete;
    SealedFile& operator=(const SealedFile&) = delete;
    ~SealedFile();

    std::byte* data() const { return mapping_; }
    std::uint64_t size() const { return size_; }

    // Gives up the mapping: the caller owns it and unmaps it (munmap(data, size)).
    std::pair<std::byte*, std::uint64_t> release();

  private:
    SealedFile(std::byte* mapping, std::uint64_t size) : mapping_(mapping), size_(size) {}

    std::byte* mapping_ = nullptr;
    std::uint64_t size_ = 0;
};

// Accepts each of `files` with the size at the same place of `bytes`; nothing (every file closed)
// unless there are as many of each and every one is accepted.
std::optional<std::vector<SealedFile>> acceptSealedFiles(std::vector<UniqueDescriptor> files,
                                                         std::span<const std::uint64_t> bytes);

// When a new memory file takes its pages. `reservedFirst`: all of them before `fill` runs, so that
// memory that runs out fails the making, never `fill` (the program's own files). `asWritten`: as
// `fill` writes them, on whichever of its threads writes, so that a large answer costs no pass of
// its own before its work; a page the machine cannot give then ends the process with SIGBUS (the
// reader's large answers, whose service tells that as memory: reader/service/answer_file.h).
enum class SealedFilePages { reservedFirst, asWritten };

// A new memory file of `bytes` bytes (at least 1) that `fill` writes through a shared mapping,
// unmapped again and sealed with every seal of kSeals, for sending to the other side. An empty
// descriptor when the memory or the descriptors ran out.
UniqueDescriptor makeSealedFile(std::uint64_t bytes, const std::function<void(std::byte*)>& fill,
                                SealedFilePages pages = SealedFilePages::reservedFirst);

}  // namespace quillmere
