#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "core/reading/unique_descriptor.h"

namespace quillmere::reader {

// A sealed memory file for a job's answer (its pixels), which `fill` writes. Its pages are taken as
// `fill` writes them (SealedFilePages::asWritten), on the threads that write: a decode that writes
// from several threads pays for its pages there, beside the work, not in a pass before it. Memory
// that runs out is the reader's memory answer either way: std::bad_alloc when the file cannot be
// made, and a page the machine cannot give while `fill` writes (SIGBUS inside the file) ends the
// reader saying memory (allocation_note.h).
UniqueDescriptor sealedAnswerFile(std::uint64_t bytes, const std::function<void(std::byte*)>& fill);

}  // namespace quillmere::reader
