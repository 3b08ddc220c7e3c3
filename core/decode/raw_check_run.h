#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>

namespace quillmere {

// What one run of the RAW checking helper may take.
struct RAWCheckLimits {
    // Wall-clock time from the start to the end of the run; the helper is killed when it passes.
    std::chrono::milliseconds deadline{0};
    // The most memory the helper's heap and anonymous mappings may hold.
    std::uint64_t memoryBytes = 0;

    // The limits of the program's own checks, which no real photo the program accepts reaches.
    // Memory: what LibRaw's development of the largest sensor the program develops costs
    // (LinearImage::maxPixelCount pixels, each with up to four 16-bit sensor samples, LibRaw's
    // four-sample image, its three-sample output and the bridge's half-float RGBA: 30 bytes), with
    // 512 MiB for LibRaw's tables and the libraries: 8 GiB. Time: 30 seconds, some ten times what
    // unpacking a 100-megapixel file or LibRaw's development of a 50-megapixel X-Trans file takes.
    static RAWCheckLimits standard();

    bool operator==(const RAWCheckLimits&) const = default;
};

// How a run of the helper ended.
struct RAWCheckEnd {
    enum class Kind {
        exited,     // `status` is its exit status
        signalled,  // `status` is the signal that ended it
        timedOut,   // it was still running at the deadline and was killed
        notRun,     // it could not be started or watched; `status` is the errno
    };
    Kind kind = Kind::notRun;
    int status = 0;
};

// Runs `helper` on `file` (raw_check_protocol.h) under `limits` and waits for its end: started
// with posix_spawn (the program has threads, so it never forks), its standard streams on
// /dev/null, no other descriptor of the program, default signal handling; the memory limit and a
// processor-time limit of the deadline on every core are its command line, the deadline is kept
// here and a helper still running then is killed. Always reaps the helper; never throws.
RAWCheckEnd runRAWCheck(const std::filesystem::path& helper, const std::filesystem::path& file,
                        const RAWCheckLimits& limits);

}  // namespace quillmere
