#include "core/decode/raw_check_budget.h"

#include <unistd.h>

#include <algorithm>
#include <thread>

#include "core/decode/raw_check_run.h"

namespace quillmere {

namespace {

constexpr std::uint64_t kMostKeptDevelopmentBytes = std::uint64_t{1} << 30;

}  // namespace

RAWCheckBudget RAWCheckBudget::ofMachine() {
    const long pages = sysconf(_SC_PHYS_PAGES), pageBytes = sysconf(_SC_PAGESIZE);
    const std::uint64_t memory =
        pages > 0 && pageBytes > 0
            ? static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageBytes)
            : 0;
    return {std::max(1u, std::thread::hardware_concurrency()),
            std::max(memory / 2, RAWCheckLimits::standard().memoryBytes),
            std::min(memory / 16, kMostKeptDevelopmentBytes)};
}

RAWCheckRoom::RAWCheckRoom(RAWCheckBudget budget) : budget_(budget) {}

std::uint64_t RAWCheckRoom::share(std::uint64_t limit) const {
    return std::min(limit, budget_.memoryBytes / std::max(budget_.helpers, 1u));
}

std::uint64_t RAWCheckRoom::whole(std::uint64_t limit) const {
    return std::min(limit, budget_.memoryBytes);
}

bool RAWCheckRoom::enter(bool alone, std::stop_token stop) {
    std::unique_lock guard(lock_);
    if (!alone) {
        const bool entered =
            changed_.wait(guard, stop, [&] { return !alone_ && waitingAlone_ == 0; });
        if (entered) ++sharing_;
        return entered;
    }
    ++waitingAlone_;
    const bool entered = changed_.wait(guard, stop, [&] { return !alone_ && sharing_ == 0; });
    --waitingAlone_;
    alone_ = entered;
    // Shared runs held back for this one may go on when it gave up.
    if (!entered) changed_.notify_all();
    return entered;
}

void RAWCheckRoom::leave(bool alone) {
    {
        const std::lock_guard guard(lock_);
        if (alone) {
            alone_ = false;
        } else {
            --sharing_;
        }
    }
    changed_.notify_all();
}

}  // namespace quillmere
