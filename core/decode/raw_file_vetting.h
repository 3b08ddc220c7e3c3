#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <future>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <tuple>

#include "core/common/error.h"
#include "core/decode/raw_check_run.h"

namespace quillmere {

// The RAW checking helper is not where the program looks for it.
class RAWFileVettingError : public Error {
  public:
    using Error::Error;
};

// The gate every path of the program passes before LibRaw reads a RAW file in the program's own
// process: the sensor read and capture information (RAWFile), the LibRaw fallback's development
// and its Bayer question, the sensor frame's own reads and the filmstrip's RAW thumbnail. LibRaw
// crashes, hangs or allocates without end on some damaged or hostile files; the helper program
// quillmere-raw-check takes each file through the bridge's LibRaw steps first (runRAWCheck), and
// only a file it got through is read here. A refused file fails every path as a file LibRaw
// cannot open does.
//
// Verdicts are kept per file version (path, size, modification time) for the life of the object:
// each version is checked once, and requests for a version being checked wait for that one run.
// Safe to use from any thread; its lock is taken after every other lock of the program and is
// never held while the helper runs.
class RAWFileVetting {
  public:
    enum class Verdict {
        permitted,       // LibRaw got through, or refused the file in its own words
        crashed,         // the helper died by a signal
        timedOut,        // the helper was still busy at the deadline, or used up its processor time
        exceededMemory,  // memory ran out under the limit
        notChecked,      // the helper could not run or refused its command line, or the file
                         // changed while it was checked; not kept, so asked again next time
    };

    RAWFileVetting(std::filesystem::path helper, RAWCheckLimits limits);

    RAWFileVetting(const RAWFileVetting&) = delete;
    RAWFileVetting& operator=(const RAWFileVetting&) = delete;

    // The program's own: the helper locateHelper() finds, standard limits. Made on first use;
    // throws RAWFileVettingError while the helper cannot be found.
    static RAWFileVetting& forProcess();

    // Where the helper is: $QUILLMERE_RAW_CHECK when set, else the program's own helper folder
    // (ProgramFiles: <prefix>/libexec/quillmere/ for an installed program, the build tree's
    // rawbridge/ folder for a program run from it; never the other's). Throws
    // RAWFileVettingError naming the folder looked in when the helper is not there, or the
    // variable's path when that names no program.
    static std::filesystem::path locateHelper();

    // The verdict on the file as it is now, from the kept verdicts or from one run of the
    // helper. A file that cannot be looked at (gone, unreadable) is permitted: LibRaw cannot
    // open it either, and says so.
    Verdict verdict(const std::filesystem::path& file);

    // Nothing when LibRaw may read `file` in this process; else why not, one sentence naming it.
    std::optional<std::string> refusal(const std::filesystem::path& file);

    // Takes other limits; the verdicts reached under the old ones are forgotten.
    void setLimits(RAWCheckLimits limits);

    // How often the helper has been started.
    std::size_t helperRuns() const { return helperRuns_; }

  private:
    // A file version: path, size and modification time.
    using Version = std::tuple<std::string, std::uintmax_t, std::filesystem::file_time_type>;
    static std::optional<Version> versionOf(const std::filesystem::path& file);

    Verdict check(const std::filesystem::path& file, const RAWCheckLimits& limits);

    const std::filesystem::path helper_;
    std::mutex lock_;
    RAWCheckLimits limits_;
    std::map<Version, std::shared_future<Verdict>> verdicts_;
    std::atomic<std::size_t> helperRuns_ = 0;
};

// The process's refusal of `file` (RAWFileVetting::forProcess); a helper that cannot be found
// refuses every file, which is never read unchecked.
std::optional<std::string> rawFileRefusal(const std::filesystem::path& file);

}  // namespace quillmere
