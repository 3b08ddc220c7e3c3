#pragma once

#include <time.h>

#include <chrono>
#include <cstdint>

namespace quillmere::reader {

// The claim phase's budget: what the reader, its libraries and a job's claim (a RAW file's header
// parse by LibRaw included) may hold before the program admits a claim, and the processor time a
// claim may take. Claims of real photos take a small part of either.
inline constexpr std::uint64_t kClaimPhaseDataBytes = std::uint64_t{64} << 20;
inline constexpr std::chrono::milliseconds kClaimPhaseProcessorTime{2000};

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
