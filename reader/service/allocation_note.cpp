#include "reader/service/allocation_note.h"

#include <dlfcn.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace quillmere::reader {
namespace {

std::atomic<bool> failed{false};
static_assert(std::atomic<bool>::is_always_lock_free, "read in a signal handler");
// The pages taken as written, [start, end); none while both are 0.
std::atomic<std::uintptr_t> pagesStart{0};
std::atomic<std::uintptr_t> pagesEnd{0};
static_assert(std::atomic<std::uintptr_t>::is_always_lock_free, "read in a signal handler");

bool isPageTakenAsWritten(const void* address) {
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    return at >= pagesStart && at < pagesEnd;
}

// The memory message the crash handler sends, made before any crash.
int noteChannel = -1;
char noteMessage[64];
std::size_t noteBytes = 0;

void* noted(void* allocated) {
    if (allocated == nullptr) failed = true;
    return allocated;
}

// The handler is reset on entry, and the signal raised again is delivered on return.
void sayMemoryBeforeCrash(int signal, siginfo_t* info, void*) {
    const bool pageNotGiven = signal == SIGBUS && isPageTakenAsWritten(info->si_addr);
    if ((failed || pageNotGiven) && noteChannel >= 0) {
        send(noteChannel, noteMessage, noteBytes, MSG_NOSIGNAL | MSG_DONTWAIT);
    }
    raise(signal);
}

}  // namespace

bool allocationFailed() { return failed; }

void noteMemoryInCrashes(int channel, std::string_view memoryMessage) {
    noteChannel = channel;
    noteBytes = std::min(memoryMessage.size(), sizeof noteMessage);
    std::memcpy(noteMessage, memoryMessage.data(), noteBytes);
    struct sigaction action {};
    action.sa_sigaction = sayMemoryBeforeCrash;
    action.sa_flags = SA_RESETHAND | SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT}) {
        sigaction(signal, &action, nullptr);
    }
}

PagesTakenAsWritten::PagesTakenAsWritten(const std::byte* pages, std::size_t bytes) {
    pagesStart = reinterpret_cast<std::uintptr_t>(pages);
    pagesEnd = reinterpret_cast<std::uintptr_t>(pages) + bytes;
}

PagesTakenAsWritten::~PagesTakenAsWritten() {
    pagesEnd = 0;
    pagesStart = 0;
}

}  // namespace quillmere::reader

// The reader's own allocation functions, which every library it loads calls instead of the C
// library's: each goes on to the C library's allocator and notes a failure.
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* pointer, std::size_t size);

void* malloc(std::size_t size) noexcept { return quillmere::reader::noted(__libc_malloc(size)); }
void* calloc(std::size_t count, std::size_t size) noexcept {
    return quillmere::reader::noted(__libc_calloc(count, size));
}
void* realloc(void* pointer, std::size_t size) noexcept {
    // A size of 0 frees the block and answers null.
    void* moved = __libc_realloc(pointer, size);
    return size == 0 ? moved : quillmere::reader::noted(moved);
}

// A thread's stack is memory of the reader's too, under its data limit: a thread that cannot start
// for want of it is a failed allocation. Some libraries go on without the thread and then wait for
// its work for ever (libde265 starts its worker so, and libheif a decoder's), so the reader does
// not go on: it ends as a crash after a failed allocation does, saying memory.
int pthread_create(pthread_t* thread, const pthread_attr_t* attributes, void* (*start)(void*),
                   void* argument) {
    using Create = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
    static const auto create = reinterpret_cast<Create>(dlsym(RTLD_NEXT, "pthread_create"));
    const int result = create(thread, attributes, start, argument);
    if (result == EAGAIN || result == ENOMEM) {
        quillmere::reader::noted(nullptr);
        std::abort();
    }
    return result;
}
}
