#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <stop_token>

namespace quillmere {

// What the RAW checking helpers of one gate may take together: how many run at once, the sum of
// their memory limits, and the memory the program keeps the developments they hand back in
// (KeptDevelopments) until they are used.
struct RAWCheckBudget {
    unsigned helpers = 1;
    std::uint64_t memoryBytes = 0;
    std::uint64_t keptDevelopmentBytes = 0;

    // The machine's: as many helpers as it has cores, and half its memory, but at least the
    // standard memory limit of one helper (RAWCheckLimits::standard), so that every file the
    // program takes can be checked; a sixteenth of its memory, at most 1 GiB, for developments
    // kept (a 24-megapixel photo's two take 240 MB).
    static RAWCheckBudget ofMachine();
};

// Lets helper runs start so that their memory limits keep within a budget. A first run of a file
// takes a share of the budget's memory (its whole divided among its helpers, of which the gate
// runs at most that many at once); only a file that runs out of memory within its share runs
// again, alone, with the whole limit the budget allows. So the memory limits of the helpers
// running never add up to more than the budget, and most files, which need far less than a
// share, are checked side by side.
class RAWCheckRoom {
  public:
    explicit RAWCheckRoom(RAWCheckBudget budget);

    RAWCheckRoom(const RAWCheckRoom&) = delete;
    RAWCheckRoom& operator=(const RAWCheckRoom&) = delete;

    // The memory limit of a run under `limit`: a share, or the whole a run alone may take.
    std::uint64_t share(std::uint64_t limit) const;
    std::uint64_t whole(std::uint64_t limit) const;

    // Waits until a run may start: a shared one while no run alone waits or runs, a run alone
    // when no other runs. False when `stop` came first.
    bool enter(bool alone, std::stop_token stop);
    void leave(bool alone);

  private:
    const RAWCheckBudget budget_;
    std::mutex lock_;
    std::condition_variable_any changed_;
    unsigned sharing_ = 0;
    unsigned waitingAlone_ = 0;
    bool alone_ = false;
};

}  // namespace quillmere
