#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <stdexcept>

namespace quillmere::rawbridge {

// A failure inside a bridge call: one English sentence for the caller's buffer.
[[noreturn]] inline void fail(const char* sentence) { throw std::runtime_error(sentence); }

// Runs the body of a bridge function so that nothing escapes it: 0 when the body returns, -1 with
// the failure's sentence in the caller's buffer when it throws (a standard exception's message,
// anything else `fallback`).
template <typename Body>
std::int32_t runBridgeCall(char* error, std::size_t errorLength, const char* fallback,
                           Body&& body) noexcept {
    const auto report = [&](const char* message) {
        if (error != nullptr && errorLength > 0) std::snprintf(error, errorLength, "%s", message);
    };
    try {
        body();
        return 0;
    } catch (const std::exception& exception) {
        report(exception.what());  // the message dies with the exception
    } catch (...) {
        report(fallback);
    }
    return -1;
}

struct FreeDeleter {
    void operator()(void* pointer) const { std::free(pointer); }
};

// A buffer from the system allocator, as the bridge hands them out (released with qx_raw_free).
template <typename T>
using MallocBuffer = std::unique_ptr<T[], FreeDeleter>;

// Allocates count × elementsPerItem elements of T, the size computed without overflow; fails with
// `failure` when the size cannot be represented or the memory is not there.
template <typename T>
MallocBuffer<T> allocateBuffer(std::uint64_t count, std::uint64_t elementsPerItem,
                               const char* failure) {
    const std::uint64_t limit = SIZE_MAX / sizeof(T);
    if (elementsPerItem != 0 && count > limit / elementsPerItem) fail(failure);
    const std::uint64_t elements = count * elementsPerItem;
    void* memory = std::malloc(elements == 0 ? 1 : static_cast<std::size_t>(elements) * sizeof(T));
    if (memory == nullptr) fail(failure);
    return MallocBuffer<T>(static_cast<T*>(memory));
}

}  // namespace quillmere::rawbridge
