// quillmere-raw-check MEMORY_BYTES CPU_SECONDS FILE
//
// The program's RAW checking helper. LibRaw reads damaged and hostile files out of bounds, loops
// or allocates without end on some; here it does so in a process of its own, never in the
// program's. The helper limits its own memory and processor time, takes FILE through the LibRaw
// steps of the bridge (takeBridgeSteps) and exits; the program reads how it ended
// (raw_check_protocol.h) and reads in its own process only a file the helper got through.
#include <sys/resource.h>

#include <atomic>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "rawbridge/bridge_steps.h"
#include "rawbridge/raw_check_protocol.h"

namespace {

// Whether an allocation has failed. LibRaw reports some failed allocations as damaged data or
// not at all, so memory running out under the limit is seen here, where every allocation of the
// helper passes on its way to the C library's allocator, whatever its caller makes of it.
std::atomic<bool> allocationFailed{false};

void* noted(void* allocated) {
    if (allocated == nullptr) allocationFailed = true;
    return allocated;
}

std::optional<rlim_t> positiveNumber(const char* text) {
    std::uint64_t value = 0;
    const char* end = text + std::strlen(text);
    const auto [stop, error] = std::from_chars(text, end, value);
    if (error != std::errc() || stop != end || value == 0) return std::nullopt;
    return static_cast<rlim_t>(value);
}

bool limit(int resource, rlim_t value) {
    const rlimit limits{value, value};
    return setrlimit(resource, &limits) == 0;
}

}  // namespace

// The helper's own allocation functions, which every library it loads calls instead of the C
// library's: each goes on to the C library's allocator and notes a failure.
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* pointer, std::size_t size);

void* malloc(std::size_t size) noexcept { return noted(__libc_malloc(size)); }
void* calloc(std::size_t count, std::size_t size) noexcept {
    return noted(__libc_calloc(count, size));
}
void* realloc(void* pointer, std::size_t size) noexcept {
    // A size of 0 frees the block and answers null.
    void* moved = __libc_realloc(pointer, size);
    return size == 0 ? moved : noted(moved);
}
}

int main(int argc, char** argv) {
    using namespace quillmere;
    if (argc != 4) return raw_check::kUsage;
    const std::optional<rlim_t> memory = positiveNumber(argv[1]);
    const std::optional<rlim_t> cpu = positiveNumber(argv[2]);
    // The limits come first, before LibRaw sees a byte. The data limit counts what the heap and
    // anonymous mappings take, which is what a runaway allocation grows; a crash leaves no core
    // file behind.
    if (!memory || !cpu || !limit(RLIMIT_CORE, 0) || !limit(RLIMIT_DATA, *memory) ||
        !limit(RLIMIT_CPU, *cpu)) {
        return raw_check::kUsage;
    }
    try {
        rawbridge::takeBridgeSteps(argv[3]);
    } catch (...) {
        // LibRaw or the bridge refused the file in its own words, or memory ran out.
    }
    return allocationFailed ? raw_check::kOutOfMemory : raw_check::kRead;
}
