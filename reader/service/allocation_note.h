#pragma once

#include <string_view>

namespace quillmere::reader {

// Whether an allocation of the reader has failed. Libraries report some failed allocations as
// damaged data or not at all, so memory running out under the data limit is seen here, where
// every allocation of the reader (malloc, calloc, realloc, and so operator new) passes on its way
// to the C library's allocator, whatever its caller makes of it. A thread whose stack cannot be
// had ends the reader as a crash after a failed allocation (a library may wait for it for ever).
bool allocationFailed();

// Has a crash after a failed allocation (a library that goes on with the null it got) say memory
// on `channel` before the signal ends the reader as it would have. `memoryMessage` is the whole
// message, kept for the signal handler, which can only send it.
void noteMemoryInCrashes(int channel, std::string_view memoryMessage);

}  // namespace quillmere::reader
