// Preloaded into a program (LD_PRELOAD), counts how often LibRaw unpacks a file and how often it
// demosaics one, and prints both when the program ends:
//   libraw_calls unpack U dcraw_process D
// Each counted call goes on to LibRaw's own function. The benchmark uses it to check that a
// cold export decodes the file once per variant it needs.
#include <dlfcn.h>
#include <libraw/libraw.h>

#include <atomic>
#include <cstdio>

namespace {

std::atomic<int> unpacks{0};
std::atomic<int> demosaics{0};

// LibRaw's own member function `name`, called as a function taking the object first (how the
// platform's C++ ABI passes `this`).
template <typename Function>
Function next(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

struct Report {
    ~Report() {
        std::fprintf(stderr, "libraw_calls unpack %d dcraw_process %d\n", unpacks.load(),
                     demosaics.load());
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
    ++demosaics;
    return real(this);
}
