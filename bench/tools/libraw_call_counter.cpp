// Preloaded into a program (LD_PRELOAD, which the program's photo readers inherit), counts how
// often LibRaw unpacks a file and how often it develops one (dcraw_process), and how many of those
// developments were at half size, and when the process ends writes one line:
//   libraw_calls unpack U dcraw_process D half H peak_rss_kib K process NAME
// K is the process's peak resident size, NAME its executable's name. The line is appended to the
// file $QUILLMERE_LIBRAW_CALLS names, for every process that loads the counter (a reader's
// standard error leads nowhere), or written to standard error when that is not set. Each counted
// call goes on to LibRaw's own function. The benchmark and the tests use it to check that a cold
// export, an open or a thumbnail decodes the file once per development it needs, and to see
// the memory of the program and of each of its readers.
#include <dlfcn.h>
#include <fcntl.h>
#include <libraw/libraw.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace {

std::atomic<int> unpacks{0};
std::atomic<int> developments{0};
std::atomic<int> halfDevelopments{0};

// LibRaw's own member function `name`, called as a function taking the object first (how the
// platform's C++ ABI passes `this`).
template <typename Function>
Function next(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

// A field of /proc/self/status ("VmHWM:" and the like), in kibibytes.
long statusKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::strlen(field));
    }
    return 0;
}

struct Report {
    ~Report() {
        char name[256] = {};
        const ssize_t length = readlink("/proc/self/exe", name, sizeof name - 1);
        const char* base = length > 0 ? std::strrchr(name, '/') : nullptr;
        char line[512];
        const int size = std::snprintf(
            line, sizeof line,
            "libraw_calls unpack %d dcraw_process %d half %d peak_rss_kib %ld process %s\n",
            unpacks.load(), developments.load(), halfDevelopments.load(), statusKiB("VmHWM:"),
            base != nullptr ? base + 1 : "?");
        const char* file = std::getenv("QUILLMERE_LIBRAW_CALLS");
        // One write of the whole line, so that the lines of processes ending together never mix.
        const int out = file != nullptr
                            ? open(file, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644)
                            : STDERR_FILENO;
        if (out >= 0 && size > 0) {
            [[maybe_unused]] const ssize_t written =
                write(out, line, static_cast<std::size_t>(size));
        }
        if (file != nullptr && out >= 0) close(out);
    }
} report;

}  // namespace

int LibRaw::unpack() {
    static const auto real = next<int (*)(LibRaw*)>("_ZN6LibRaw6unpackEv");
    ++unpacks;
    return real(this);
}

int LibRaw::dcraw_process() {
    static const auto real = next<int (*)(LibRaw*)>("_ZN6LibRaw13dcraw_processEv");
    ++developments;
    if (imgdata.params.half_size != 0) ++halfDevelopments;
    return real(this);
}
