#include "reader/service/limits.h"

#include <signal.h>
#include <sys/resource.h>

#include <algorithm>

namespace quillmere::reader {
namespace {

// Sets a limit within the hard limit the reader was started with (RLIM_INFINITY is the largest
// value), which it cannot raise.
bool limit(int resource, rlim_t soft, rlim_t hard) {
    rlimit limits{};
    if (getrlimit(resource, &limits) != 0) return false;
    limits = {std::min(soft, std::min(hard, limits.rlim_max)), std::min(hard, limits.rlim_max)};
    return setrlimit(resource, &limits) == 0;
}

}  // namespace

ReaderLimits::~ReaderLimits() {
    if (made_) timer_delete(timer_);
}

bool ReaderLimits::start(std::uint64_t ceilingBytes) {
    sigevent event{};
    event.sigev_notify = SIGEV_SIGNAL;
    event.sigev_signo = SIGXCPU;
    made_ = timer_create(CLOCK_PROCESS_CPUTIME_ID, &event, &timer_) == 0;
    return made_ && limit(RLIMIT_CORE, 0, 0) &&
           limit(RLIMIT_DATA, kClaimPhaseDataBytes, ceilingBytes);
}

bool ReaderLimits::lowerDataLimit(std::uint64_t bytes) {
    rlimit limits{};
    if (getrlimit(RLIMIT_DATA, &limits) != 0 || bytes > limits.rlim_max) return false;
    limits = {bytes, bytes};
    return setrlimit(RLIMIT_DATA, &limits) == 0;
}

bool ReaderLimits::startClock(std::chrono::milliseconds time) {
    // A zero time would disarm the timer rather than end the reader at once.
    const auto nanoseconds = std::chrono::nanoseconds(std::max(time, std::chrono::milliseconds(1)));
    itimerspec setting{};
    setting.it_value.tv_sec = static_cast<time_t>(nanoseconds.count() / 1'000'000'000);
    setting.it_value.tv_nsec = static_cast<long>(nanoseconds.count() % 1'000'000'000);
    return timer_settime(timer_, 0, &setting, nullptr) == 0;
}

void ReaderLimits::stopClock() {
    const itimerspec disarmed{};
    timer_settime(timer_, 0, &disarmed, nullptr);
}

}  // namespace quillmere::reader
