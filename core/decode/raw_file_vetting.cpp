#include "core/decode/raw_file_vetting.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <future>
#include <system_error>
#include <utility>

#include "core/common/program_files.h"
#include "core/decode/photo_format.h"
#include "core/reading/reader_process.h"
#include "rawbridge/raw_check_protocol.h"

namespace quillmere {

namespace fs = std::filesystem;

struct RAWFileVetting::Check {
    Check(fs::path file, Version version)
        : file(std::move(file)), version(std::move(version)), answer(done.get_future().share()) {}

    const fs::path file;
    const Version version;
    std::promise<Verdict> done;
    const std::shared_future<Verdict> answer;
    bool started = false;  // under the gate's lock

    bool endedIn(Verdict verdict) const {
        return answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready &&
               answer.get() == verdict;
    }
};

namespace {

bool isProgram(const fs::path& path) {
    std::error_code error;
    return fs::is_regular_file(path, error) && access(path.c_str(), X_OK) == 0;
}

// The signals a program's own fault raises; any other comes from outside.
bool isFault(int signal) {
    return signal == SIGSEGV || signal == SIGBUS || signal == SIGILL || signal == SIGFPE ||
           signal == SIGABRT || signal == SIGSYS || signal == SIGTRAP;
}

// The processor limit ends the helper with SIGXCPU at its soft end, with SIGKILL at its hard end
// (the kernel sends SIGKILL first when the two are one). The kernel counts the limit in whole
// clock ticks, which waitid's precise time falls short of, the more the busier the machine: a
// SIGKILL after half the limit is the limit's.
bool processorTimeRanOut(const RAWCheckEnd& end, const RAWCheckLimits& limits) {
    return end.status == SIGXCPU ||
           (end.status == SIGKILL &&
            end.processorTime >= std::chrono::microseconds(limits.processorTime) / 2);
}

RAWFileVetting::Verdict verdictOf(const RAWCheckEnd& end, const RAWCheckLimits& limits) {
    using Verdict = RAWFileVetting::Verdict;
    const bool exitedWell = end.kind == RAWCheckEnd::Kind::exited && end.status == 0;
    const bool signalled = end.kind == RAWCheckEnd::Kind::signalled;
    if (exitedWell && end.verdict == raw_check::kRead) return Verdict::permitted;
    if ((exitedWell || signalled) && end.verdict == raw_check::kOutOfMemory) {
        return Verdict::exceededMemory;
    }
    if (signalled && processorTimeRanOut(end, limits)) return Verdict::timedOut;
    if (signalled && isFault(end.status)) return Verdict::crashed;
    return Verdict::notChecked;
}

// Verdicts that are the file's; the others are asked again.
bool isKept(RAWFileVetting::Verdict verdict) {
    return verdict != RAWFileVetting::Verdict::notChecked;
}

std::int64_t nanoseconds(const timespec& time) {
    return std::int64_t{time.tv_sec} * 1'000'000'000 + time.tv_nsec;
}

}  // namespace

RAWFileVetting::RAWFileVetting(fs::path helper, RAWCheckLimits limits, RAWCheckBudget budget)
    : helper_(std::move(helper)),
      budget_(budget),
      room_(budget),
      kept_(budget.keptDevelopmentBytes),
      limits_(limits) {
    keepChildEndsReadable();
}

RAWFileVetting::~RAWFileVetting() {
    for (std::jthread& worker : workers_) worker.request_stop();
    workers_.clear();
}

RAWFileVetting& RAWFileVetting::forProcess() {
    static RAWFileVetting vetting(locateHelper(), RAWCheckLimits::standard());
    return vetting;
}

fs::path RAWFileVetting::locateHelper() {
    if (const char* configured = std::getenv("QUILLMERE_RAW_CHECK")) {
        if (isProgram(configured)) return configured;
        throw RAWFileVettingError(std::string("The RAW checking helper that QUILLMERE_RAW_CHECK "
                                              "names is not a program: ") +
                                  configured);
    }
    const std::optional<ProgramFiles>& files = ProgramFiles::forProcess();
    if (!files) {
        throw RAWFileVettingError(std::string("The RAW checking helper ") +
                                  raw_check::kProgramName +
                                  " cannot be found: the program cannot read where it is "
                                  "(/proc/self/exe).");
    }
    const fs::path helper = files->helperFolder / raw_check::kProgramName;
    if (isProgram(helper)) return helper;
    throw RAWFileVettingError(
        std::string("The RAW checking helper ") + raw_check::kProgramName +
        " is missing: it is not in " + files->helperFolder.string() + ". " +
        (files->inBuildTree ? "Build Quillmere again." : "Install Quillmere again."));
}

RAWFileVetting::Look RAWFileVetting::lookAt(const fs::path& file) {
    // stat, never open: opening a FIFO waits for a writer.
    struct stat status {};
    if (stat(file.c_str(), &status) != 0) return {std::nullopt, Verdict::unreadable};
    if (!S_ISREG(status.st_mode)) return {std::nullopt, Verdict::notRegularFile};
    return {Version{file.string(), status.st_dev, status.st_ino,
                    static_cast<std::uint64_t>(status.st_size), nanoseconds(status.st_mtim),
                    nanoseconds(status.st_ctim)}};
}

RAWFileVetting::Verdict RAWFileVetting::verdict(const fs::path& file) {
    const Look look = lookAt(file);
    if (!look.version) return look.otherwise;
    try {
        return ask(file, *look.version, true).get();
    } catch (const std::exception&) {
        // No thread could be started for the check.
        return Verdict::notChecked;
    }
}

void RAWFileVetting::checkAhead(const fs::path& file) {
    const Look look = lookAt(file);
    if (!look.version) return;
    try {
        ask(file, *look.version, false);
    } catch (const std::exception&) {
        // Checked when it is read, if a thread can be started then.
    }
}

std::shared_future<RAWFileVetting::Verdict> RAWFileVetting::ask(const fs::path& file,
                                                                const Version& version, bool now) {
    const std::lock_guard guard(lock_);
    auto [entry, added] = checks_.try_emplace(version);
    if (added) entry->second = std::make_shared<Check>(file, version);
    const std::shared_ptr<Check>& check = entry->second;
    if (added || (now && !check->started)) {
        std::erase(waiting_, check);
        if (now) {
            waiting_.push_front(check);
        } else {
            waiting_.push_back(check);
        }
        if (workers_.empty()) {
            for (unsigned count = 0; count < budget_.helpers; ++count) {
                workers_.emplace_back([this](std::stop_token stop) { work(stop); });
            }
        }
        checkWaiting_.notify_one();
    }
    return check->answer;
}

void RAWFileVetting::work(std::stop_token stop) {
    std::unique_lock guard(lock_);
    for (;;) {
        checkWaiting_.wait(guard, stop, [&] { return !waiting_.empty(); });
        // Checks still waiting when the gate goes are dropped.
        if (stop.stop_requested()) return;
        const std::shared_ptr<Check> next = std::move(waiting_.front());
        waiting_.pop_front();
        next->started = true;
        const RAWCheckLimits limits = limits_;
        guard.unlock();
        const Verdict found = check(*next, limits, stop);
        guard.lock();
        // Checked again when next asked; a check begun since (other limits) stays.
        if (!isKept(found)) {
            const auto entry = checks_.find(next->version);
            if (entry != checks_.end() && entry->second == next) checks_.erase(entry);
        }
        next->done.set_value(found);
    }
}

RAWFileVetting::Verdict RAWFileVetting::check(const Check& check, const RAWCheckLimits& limits,
                                              std::stop_token stop) {
    Outcome found = run(check.file, limits, false, stop);
    // A file that needs more than a share of the memory may still need no more than the limit.
    if (found.verdict == Verdict::exceededMemory &&
        room_.share(limits.memoryBytes) < room_.whole(limits.memoryBytes)) {
        found = run(check.file, limits, true, stop);
    }
    // The helper read another file than the version looked at.
    if (lookAt(check.file).version != check.version) return Verdict::notChecked;
    // Kept before the verdict is told, so that whoever waits for it finds them.
    if (found.verdict == Verdict::permitted) {
        try {
            kept_.keep(check.version, std::move(found.developments));
        } catch (const std::bad_alloc&) {
            // Not kept: the paths develop the file themselves.
        }
    }
    return found.verdict;
}

RAWFileVetting::Outcome RAWFileVetting::run(const fs::path& file, const RAWCheckLimits& limits,
                                            bool alone, std::stop_token stop) {
    if (!room_.enter(alone, stop)) return {};
    RAWCheckLimits own = limits;
    own.memoryBytes = alone ? room_.whole(limits.memoryBytes) : room_.share(limits.memoryBytes);
    ++helperRuns_;
    Outcome found;
    try {
        RAWCheckEnd end = runRAWCheck(helper_, file, own, stop);
        found = {verdictOf(end, limits), std::move(end.developments)};
    } catch (const std::exception&) {
        // Memory for the helper's command line ran out: the file stays unchecked.
    }
    room_.leave(alone);
    return found;
}

std::optional<std::string> RAWFileVetting::refusal(const fs::path& file) {
    const std::string name = file.filename().string();
    switch (verdict(file)) {
        case Verdict::permitted:
            return std::nullopt;
        case Verdict::crashed:
            return "LibRaw crashed while reading " + name + ".";
        case Verdict::timedOut:
            return "LibRaw did not finish reading " + name + " in time.";
        case Verdict::exceededMemory:
            return "Reading " + name + " took LibRaw more memory than it may use.";
        case Verdict::notRegularFile:
            return name + " is not a regular file.";
        case Verdict::unreadable:
            return name + " cannot be read.";
        case Verdict::notChecked:
            break;
    }
    return name + " could not be checked before reading it.";
}

void RAWFileVetting::forgetTimeVerdict(const fs::path& file) {
    const std::lock_guard guard(lock_);
    const std::string path = file.string();
    for (auto entry = checks_.lower_bound(Version::leastOf(path));
         entry != checks_.end() && entry->first.path == path;) {
        entry = entry->second->endedIn(Verdict::timedOut) ? checks_.erase(entry) : std::next(entry);
    }
}

std::optional<HandedBackDevelopment> RAWFileVetting::takeDevelopment(
    const fs::path& file, HandedBackDevelopment::Kind kind) {
    const Look look = lookAt(file);
    if (!look.version) return std::nullopt;
    return kept_.take(*look.version, kind);
}

void RAWFileVetting::setLimits(RAWCheckLimits limits) {
    const std::lock_guard guard(lock_);
    limits_ = limits;
    // Checks not started yet run under the new limits.
    std::erase_if(checks_, [](const auto& entry) { return entry.second->started; });
}

std::optional<std::string> rawFileRefusal(const fs::path& file) {
    try {
        return RAWFileVetting::forProcess().refusal(file);
    } catch (const RAWFileVettingError& missing) {
        return std::string(missing.what());
    }
}

void checkRAWFileAhead(const fs::path& file) {
    if (!PhotoFormat::isRAW(file)) return;
    try {
        RAWFileVetting::forProcess().checkAhead(file);
    } catch (const RAWFileVettingError&) {
        // Every RAW file is refused when it is read.
    }
}

std::optional<HandedBackDevelopment> takeRAWDevelopment(const fs::path& file,
                                                        HandedBackDevelopment::Kind kind) {
    if (!PhotoFormat::isRAW(file)) return std::nullopt;
    try {
        return RAWFileVetting::forProcess().takeDevelopment(file, kind);
    } catch (const RAWFileVettingError&) {
        // Nothing was checked, so nothing was handed back.
        return std::nullopt;
    }
}

void forgetRAWFileTimeVerdict(const fs::path& file) {
    if (!PhotoFormat::isRAW(file)) return;
    try {
        RAWFileVetting::forProcess().forgetTimeVerdict(file);
    } catch (const RAWFileVettingError&) {
        // No verdict to forget.
    }
}

}  // namespace quillmere
