#pragma once

#include <cstddef>
#include <string_view>

namespace quillmere::reader {

// Whether an allocation of the reader has failed. Libraries report some failed allocations as
// damaged data or not at all, so memory running out under the data limit is seen here, where
// every allocation of the reader (malloc, calloc, realloc, and so operator new) passes on its way
// to the C library's allocator, whatever its caller makes of it. A thread whose stack cannot be
// had ends the reader as a crash after a failed allocation (a library may wait for it for ever).
bool allocationFailed();

// Has a crash after a failed allocation (a library that goes on with the null it got), and a bus
// error inside pages taken as written (below), say memory on `channel` before the signal ends the
// reader as it would have. `memoryMessage` is the whole message, kept for the signal handler,
// which can only send it.
void noteMemoryInCrashes(int channel, std::string_view memoryMessage);

// While it lives, the `bytes` at `pages` are a memory file's, whose pages the machine gives as they
// are written: a SIGBUS at one of them is the machine's memory running out, not a fault of the
// reader's. One at a time.
class PagesTakenAsWritten {
  public:
    PagesTakenAsWritten(const std::byte* pages, std::size_t bytes);
    ~PagesTakenAsWritten();
    PagesTakenAsWritten(const PagesTakenAsWritten&) = delete;
    PagesTakenAsWritten& operator=(const PagesTakenAsWritten&) = delete;
};

}  // namespace quillmere::reader
