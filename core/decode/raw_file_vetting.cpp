#include "core/decode/raw_file_vetting.h"

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <system_error>
#include <utility>

#include "core/common/program_files.h"
#include "rawbridge/raw_check_protocol.h"

namespace quillmere {
namespace {

namespace fs = std::filesystem;

bool isProgram(const fs::path& path) {
    std::error_code error;
    return fs::is_regular_file(path, error) && access(path.c_str(), X_OK) == 0;
}

RAWFileVetting::Verdict verdictOf(const RAWCheckEnd& end) {
    using Verdict = RAWFileVetting::Verdict;
    switch (end.kind) {
        case RAWCheckEnd::Kind::exited:
            if (end.status == raw_check::kRead) return Verdict::permitted;
            if (end.status == raw_check::kOutOfMemory) return Verdict::exceededMemory;
            return Verdict::notChecked;
        case RAWCheckEnd::Kind::signalled:
            // The processor-time limit ends the helper with SIGXCPU.
            return end.status == SIGXCPU ? Verdict::timedOut : Verdict::crashed;
        case RAWCheckEnd::Kind::timedOut:
            return Verdict::timedOut;
        case RAWCheckEnd::Kind::notRun:
            return Verdict::notChecked;
    }
    return Verdict::notChecked;
}

}  // namespace

RAWFileVetting::RAWFileVetting(fs::path helper, RAWCheckLimits limits)
    : helper_(std::move(helper)), limits_(limits) {}

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

std::optional<RAWFileVetting::Version> RAWFileVetting::versionOf(const fs::path& file) {
    std::error_code sizeError, timeError;
    const std::uintmax_t size = fs::file_size(file, sizeError);
    const fs::file_time_type modified = fs::last_write_time(file, timeError);
    if (sizeError || timeError) return std::nullopt;
    return Version{file.string(), size, modified};
}

RAWFileVetting::Verdict RAWFileVetting::verdict(const fs::path& file) {
    const std::optional<Version> version = versionOf(file);
    if (!version) return Verdict::permitted;

    std::promise<Verdict> run;
    std::shared_future<Verdict> answer;
    RAWCheckLimits limits;
    bool mine = false;
    {
        const std::lock_guard guard(lock_);
        const auto [entry, added] = verdicts_.try_emplace(*version);
        if (added) {
            entry->second = run.get_future().share();
            limits = limits_;
            mine = true;
        }
        answer = entry->second;
    }
    if (!mine) return answer.get();

    Verdict found = Verdict::notChecked;
    try {
        found = check(file, limits);
    } catch (const std::exception&) {
        // Memory for the helper's command line ran out: the file stays unchecked.
    }
    // The helper read another file than the version looked at.
    if (versionOf(file) != version) found = Verdict::notChecked;
    run.set_value(found);
    if (found == Verdict::notChecked) {
        // Checked again when next asked; a verdict another run has since begun on stays.
        const std::lock_guard guard(lock_);
        const auto entry = verdicts_.find(*version);
        if (entry != verdicts_.end() &&
            entry->second.wait_for(std::chrono::seconds(0)) == std::future_status::ready &&
            entry->second.get() == Verdict::notChecked) {
            verdicts_.erase(entry);
        }
    }
    return found;
}

RAWFileVetting::Verdict RAWFileVetting::check(const fs::path& file, const RAWCheckLimits& limits) {
    ++helperRuns_;
    return verdictOf(runRAWCheck(helper_, file, limits));
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
        case Verdict::notChecked:
            break;
    }
    return name + " could not be checked before reading it.";
}

void RAWFileVetting::setLimits(RAWCheckLimits limits) {
    const std::lock_guard guard(lock_);
    limits_ = limits;
    verdicts_.clear();
}

std::optional<std::string> rawFileRefusal(const fs::path& file) {
    try {
        return RAWFileVetting::forProcess().refusal(file);
    } catch (const RAWFileVettingError& missing) {
        return std::string(missing.what());
    }
}

}  // namespace quillmere
