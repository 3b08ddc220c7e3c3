#pragma once

#include <time.h>

#include <chrono>
#include <cstdint>

namespace quillmere::reader {

// The claim phase's budget: what the reader, its libraries and a job's claim (a RAW file's header
// parse by LibRaw included) may hold before the program admits a claim, and the processor time a
// claim may take. Real photos take a small part of either: a process with LibRaw, Exiv2, libheif,
// libjpeg and LittleCMS loaded and a LibRaw instance made holds 2.6 MB of data, and LibRaw's
// instance and header parse (open_file) take at most 3.8 MiB more (1.1 MiB for a 24-megapixel
// DNG, 3.8 MiB for a DNG with 200 KB of XMP properties) and at most 2 ms of processor time, over
// DNG, CR2, CRW, NEF and RAF files.
inline constexpr std::uint64_t kClaimPhaseDataBytes = std::uint64_t{64} << 20;
inline constexpr std::chrono::milliseconds kClaimPhaseProcessorTime{1000};

// The reader's own limits. Its data limit (RLIMIT_DATA: the heap, anonymous and other private
// writable mappings, which is what a runaway allocation grows) starts soft at the claim phase's
// budget and hard at the program's ceiling, and is lowered, soft and hard, to the claim at go. Its
// processor timer (on CLOCK_PROCESS_CPUTIME_ID: all its threads together, however busy the
// machine) ends it with SIGXCPU when a step's time is spent. It leaves no core file.
class ReaderLimits {
  public:
    ReaderLimits() = default;
    ~ReaderLimits();
    ReaderLimits(const ReaderLimits&) = delete;
    ReaderLimits& operator=(const ReaderLimits&) = delete;

    // Sets the starting limits and makes the timer; false when any cannot be.
    bool start(std::uint64_t ceilingBytes);
    // Lowers the data limit, soft and hard, to `bytes`; false above the hard limit.
    bool lowerDataLimit(std::uint64_t bytes);
    // Has SIGXCPU end the reader once it used `time` more processor time (at least 1 ms).
    bool startClock(std::chrono::milliseconds time);
    void stopClock();

  private:
    timer_t timer_{};
    bool made_ = false;
};

}  // namespace quillmere::reader
