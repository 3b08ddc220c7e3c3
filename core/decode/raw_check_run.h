#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <stop_token>
#include <string>
#include <vector>

#include "core/decode/handed_back_development.h"

namespace quillmere {

// What one run of the RAW checking helper may take.
struct RAWCheckLimits {
    // The helper's own processor time, all its threads together: a file that needs more than
    // this is one LibRaw cannot read in time, however busy the machine.
    std::chrono::seconds processorTime{0};
    // Wall-clock time after which a helper still running is ended unread: it waits on something
    // other than the processor (it was stopped, or its file system hangs), which says nothing of
    // the file.
    std::chrono::milliseconds backstop{0};
    // The most memory the helper's heap and anonymous mappings may hold.
    std::uint64_t memoryBytes = 0;

    // The limits of the program's own checks, which no real photo the program accepts reaches.
    // Memory: what LibRaw's development of the largest sensor the program develops costs
    // (LinearImage::maxPixelCount pixels, each with up to four 16-bit sensor samples, LibRaw's
    // four-sample image, its three-sample output and the bridge's half-float RGBA: 30 bytes), with
    // 512 MiB for LibRaw's tables and the libraries: 8 GiB. Processor time: 120 seconds, some
    // five times what LibRaw's two developments of the largest linear image the program takes
    // (268 megapixels) cost, and fifty times those of a 24-megapixel one. Backstop: 10 minutes.
    static RAWCheckLimits standard();

    bool operator==(const RAWCheckLimits&) const = default;
};

// How a run of the helper ended, as far as the program could see.
struct RAWCheckEnd {
    enum class Kind {
        exited,     // `status` is its exit status
        signalled,  // `status` is the signal that ended it
        outlived,   // it was still running at the backstop or when the run was stopped, and was
                    // killed
        unread,     // it could not be started, watched or waited for; `status` is the errno
    };
    Kind kind = Kind::unread;
    int status = 0;
    // What the helper wrote to the program (raw_check_protocol.h), at most a few bytes.
    std::string verdict;
    // The developments it handed back with what it wrote, those that are what they say: none
    // when it sent more descriptors than a helper hands back.
    std::vector<HandedBackDevelopment> developments;
    // The processor time the helper used, all its threads together (for a helper waited for).
    std::chrono::microseconds processorTime{0};
};

// Runs `helper` on `file` (raw_check_protocol.h) under `limits` and waits for its end: started
// with posix_spawn (the program has threads, so it never forks), its standard streams on
// /dev/null, the channel to the program and no other descriptor of the program, default signal
// handling. It reads the file only once it is watched through a pidfd, through which alone it is
// signalled; it is killed at the backstop or when `stop` is requested. The helper ends when the
// calling thread does, so that thread must be the one that waits, as here. Always reaps the
// helper, unless the kernel did (SIGCHLD ignored), which is an end this cannot read; never
// throws.
RAWCheckEnd runRAWCheck(const std::filesystem::path& helper, const std::filesystem::path& file,
                        const RAWCheckLimits& limits, std::stop_token stop = {});

}  // namespace quillmere
