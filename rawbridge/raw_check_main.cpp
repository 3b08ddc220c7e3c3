// quillmere-raw-check MEMORY_BYTES CPU_SECONDS PROGRAM_PID FILE
//
// The program's RAW checking helper. LibRaw reads damaged and hostile files out of bounds, loops
// or allocates without end on some; here it does so in a process of its own, never in the
// program's. The helper ends with its program, limits its own memory and processor time, waits
// for the program's word, takes FILE through the LibRaw steps of the bridge (takeBridgeSteps) and
// writes its verdict to the program (raw_check_protocol.h), which reads in its own process only a
// file the helper says it got through. With the verdict "read" go the developments LibRaw made on
// the way, which the program then need not make again.
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>

#include "rawbridge/bridge_steps.h"
#include "rawbridge/raw_check_hand_back.h"
#include "rawbridge/raw_check_protocol.h"

namespace {

namespace raw_check = quillmere::raw_check;

// Whether an allocation has failed. LibRaw reports some failed allocations as damaged data or
// not at all, so memory running out under the limit is seen here, where every allocation of the
// helper passes on its way to the C library's allocator, whatever its caller makes of it.
std::atomic<bool> allocationFailed{false};
static_assert(std::atomic<bool>::is_always_lock_free, "read in a signal handler");

void* noted(void* allocated) {
    if (allocated == nullptr) allocationFailed = true;
    return allocated;
}

std::optional<std::uint64_t> positiveNumber(const char* text) {
    std::uint64_t value = 0;
    const char* end = text + std::strlen(text);
    const auto [stop, error] = std::from_chars(text, end, value);
    if (error != std::errc() || stop != end || value == 0) return std::nullopt;
    return value;
}

// Sets a limit, within the hard limit the helper was started with (RLIM_INFINITY is the largest
// value), which it cannot raise.
bool limit(int resource, rlim_t soft, rlim_t hard) {
    rlimit limits{};
    if (getrlimit(resource, &limits) != 0) return false;
    limits = {std::min(soft, limits.rlim_max), std::min(hard, limits.rlim_max)};
    return setrlimit(resource, &limits) == 0;
}

// Writes the verdict to the program; async-signal-safe. A program gone cannot read it anyway.
void say(std::string_view verdict) {
    [[maybe_unused]] const ssize_t written =
        write(raw_check::kChannel, verdict.data(), verdict.size());
}

// A crash on an allocation that memory could not hold is memory's doing: the verdict says so
// before the signal ends the helper as it would have (the handler is reset on entry, and the
// signal raised again is delivered on return).
void sayMemoryBeforeCrash(int signal) {
    if (allocationFailed) say(raw_check::kOutOfMemory);
    raise(signal);
}

void noteMemoryInCrashes() {
    struct sigaction action {};
    action.sa_handler = sayMemoryBeforeCrash;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT}) {
        sigaction(signal, &action, nullptr);
    }
}

// True once the program sent kGo; false when it closed the channel instead.
bool programSaysGo() {
    char word = 0;
    ssize_t got = 0;
    while ((got = read(raw_check::kChannel, &word, 1)) < 0 && errno == EINTR) {
    }
    return got == 1 && word == raw_check::kGo;
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
    if (argc != 5) return raw_check::kUsage;
    const std::optional<std::uint64_t> memory = positiveNumber(argv[1]);
    const std::optional<std::uint64_t> cpu = positiveNumber(argv[2]);
    const std::optional<std::uint64_t> program = positiveNumber(argv[3]);
    if (!memory || !cpu || !program) return raw_check::kUsage;
    // Ends with the thread of the program that started it (which waits for its end); a program
    // gone before this line left the helper to another parent, and nobody to read the verdict.
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 ||
        static_cast<std::uint64_t>(getppid()) != *program) {
        return raw_check::kUsage;
    }
    // The limits come first, before LibRaw sees a byte. The data limit counts what the heap and
    // anonymous mappings take, which is what a runaway allocation grows; a crash leaves no core
    // file behind. The processor limit's soft end (SIGXCPU) comes before its hard one (SIGKILL),
    // so that its end is told from any other.
    if (!limit(RLIMIT_CORE, 0, 0) || !limit(RLIMIT_DATA, *memory, *memory) ||
        !limit(RLIMIT_CPU, *cpu, *cpu + raw_check::kHardLimitGraceSeconds)) {
        return raw_check::kUsage;
    }
    noteMemoryInCrashes();
    if (!programSaysGo()) return raw_check::kUsage;
    using namespace quillmere::rawbridge;
    DevelopmentHandBack handBack;
    try {
        takeBridgeSteps(argv[4], [&](DevelopmentSize size, DevelopedImage developed) {
            handBack.add(size == DevelopmentSize::half ? raw_check::DevelopmentKind::half
                                                       : raw_check::DevelopmentKind::full,
                         developed);
        });
    } catch (...) {
        // LibRaw or the bridge refused the file in its own words, or memory ran out. A
        // development made before stays: the program's own would be the same.
    }
    if (allocationFailed) {
        say(raw_check::kOutOfMemory);
    } else {
        handBack.send(raw_check::kChannel, raw_check::kRead);
    }
    return 0;
}
