#pragma once

#include <atomic>
#include <compare>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "core/common/error.h"
#include "core/decode/handed_back_development.h"
#include "core/decode/kept_developments.h"
#include "core/decode/raw_check_budget.h"
#include "core/decode/raw_check_run.h"
#include "core/decode/raw_file_version.h"

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
// only a file it says it got through is read here. Only regular files are checked; anything else
// with a RAW name is refused at once. A refused file fails every path as a file LibRaw cannot
// open does.
//
// Verdicts are kept per file version (path, device, inode, size, modification and change time:
// a file replaced or rewritten is another version, even with its size and modification time
// kept), for the life of the object, but for a timed-out verdict, which holds until the user
// opens the photo again (forgetTimeVerdict). Each version is checked by one run, however many
// ask. Runs go on the gate's own threads, side by side within its budget (RAWCheckRoom), the
// versions asked for now before those asked for ahead (checkAhead). Safe to use from any
// thread; its lock is taken after every other lock of the program and is never held while a
// helper runs.
//
// The developments a helper that permits the file hands back (LibRaw's half-size and full
// developments of a file the bridge develops with LibRaw) are kept beside the verdict, per
// version, within the budget's keptDevelopmentBytes (KeptDevelopments), until the one path that
// would make each takes it (takeDevelopment): the thumbnail the half-size one, the LibRaw
// fallback's open the full one. A development handed back that is not what it says is dropped,
// never the verdict: the path then develops the file itself.
class RAWFileVetting {
  public:
    enum class Verdict {
        permitted,       // the helper says LibRaw got through, or refused the file in its own words
        crashed,         // the helper died by a signal of its own fault
        timedOut,        // the helper used up its processor time
        exceededMemory,  // memory ran out under the limit
        notChecked,      // the helper could not run, its end could not be read, it said nothing,
                         // it was killed from outside or outlived the backstop, or the file
                         // changed while it was checked; not kept, so asked again next time
        notRegularFile,  // a FIFO, device, folder or socket, which is never read as a photo
        unreadable,      // the file cannot be looked at: it is gone, or its folder is closed
    };

    RAWFileVetting(std::filesystem::path helper, RAWCheckLimits limits,
                   RAWCheckBudget budget = RAWCheckBudget::ofMachine());
    // Kills the helpers running and waits for its threads.
    ~RAWFileVetting();

    RAWFileVetting(const RAWFileVetting&) = delete;
    RAWFileVetting& operator=(const RAWFileVetting&) = delete;

    // The program's own: the helper locateHelper() finds, standard limits, the machine's budget.
    // Made on first use; throws RAWFileVettingError while the helper cannot be found.
    static RAWFileVetting& forProcess();

    // Where the helper is: $QUILLMERE_RAW_CHECK when set, else the program's own helper folder
    // (ProgramFiles: <prefix>/libexec/quillmere/ for an installed program, the build tree's
    // rawbridge/ folder for a program run from it; never the other's). Throws
    // RAWFileVettingError naming the folder looked in when the helper is not there, or the
    // variable's path when that names no program.
    static std::filesystem::path locateHelper();

    // The verdict on the file as it is now, from the kept verdicts or from one run of the
    // helper. A file that is not a regular file, or cannot be looked at, is not checked (nor read).
    Verdict verdict(const std::filesystem::path& file);

    // Has the file as it is now checked on the gate's threads, after the runs asked for already,
    // and returns at once: for a caller that knows which files it will read soon (the
    // filmstrip's thumbnails of photos opened together).
    void checkAhead(const std::filesystem::path& file);

    // Nothing when LibRaw may read `file` in this process; else why not, one sentence naming it.
    std::optional<std::string> refusal(const std::filesystem::path& file);

    // The user opens the photo at `file` again: a timed-out verdict on it is forgotten, so this
    // open checks it again. A machine that was too busy, or a run that was stopped, then costs
    // no photo; a file that needs too much processor time is refused again.
    void forgetTimeVerdict(const std::filesystem::path& file);

    // The development of `kind` a helper handed back for the file as it is now, taken: the
    // caller releases it. Nothing when none is kept for this version (it was never made, was
    // taken already or dropped, or the file changed since), or the file cannot be looked at.
    std::optional<HandedBackDevelopment> takeDevelopment(const std::filesystem::path& file,
                                                         HandedBackDevelopment::Kind kind);

    // Takes other limits; the verdicts reached under the old ones are forgotten.
    void setLimits(RAWCheckLimits limits);

    // How often the helper has been started.
    std::size_t helperRuns() const { return helperRuns_; }

  private:
    using Version = RAWFileVersion;
    // The version of a regular file, or the verdict on a file that is none.
    struct Look {
        std::optional<Version> version;
        Verdict otherwise = Verdict::unreadable;
    };
    static Look lookAt(const std::filesystem::path& file);

    // One version's check: waiting, running, or done and kept.
    struct Check;
    // What one run of the helper gave.
    struct Outcome {
        Verdict verdict = Verdict::notChecked;
        std::vector<HandedBackDevelopment> developments;
    };

    std::shared_future<Verdict> ask(const std::filesystem::path& file, const Version& version,
                                    bool now);
    void work(std::stop_token stop);
    Verdict check(const Check& check, const RAWCheckLimits& limits, std::stop_token stop);
    Outcome run(const std::filesystem::path& file, const RAWCheckLimits& limits, bool alone,
                std::stop_token stop);

    const std::filesystem::path helper_;
    const RAWCheckBudget budget_;
    RAWCheckRoom room_;
    KeptDevelopments kept_;
    std::mutex lock_;
    std::condition_variable_any checkWaiting_;
    RAWCheckLimits limits_;
    std::map<Version, std::shared_ptr<Check>> checks_;
    std::deque<std::shared_ptr<Check>> waiting_;
    std::atomic<std::size_t> helperRuns_ = 0;
    // Last: stopped and joined before anything they use goes.
    std::vector<std::jthread> workers_;
};

// The process's refusal of `file` (RAWFileVetting::forProcess); a helper that cannot be found
// refuses every file, which is never read unchecked.
std::optional<std::string> rawFileRefusal(const std::filesystem::path& file);

// The process's checkAhead, forgetTimeVerdict and takeDevelopment, for RAW file names; nothing
// while the helper cannot be found.
void checkRAWFileAhead(const std::filesystem::path& file);
void forgetRAWFileTimeVerdict(const std::filesystem::path& file);
std::optional<HandedBackDevelopment> takeRAWDevelopment(const std::filesystem::path& file,
                                                        HandedBackDevelopment::Kind kind);

}  // namespace quillmere
