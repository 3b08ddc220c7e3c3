#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>
#include <utility>
#include <variant>

#include "core/reading/opened_file.h"
#include "core/reading/reader_process.h"
#include "core/reading/reader_protocol.h"
#include "core/reading/reader_room.h"
#include "core/reading/reading_error.h"

namespace quillmere {

class ReaderSession;

// The program's way to have a photo read: every library that reads a photo's bytes runs in a
// reader process (reader_protocol.h), never in the program's. One reader reads one opened file,
// for one request (ask) or for a session of requests (openSession); readers work side by side
// within the machine's budget (ReaderRoom), admitted by what each claims.
//
// Verdicts are kept per file version and job kind: a file that the reader refused, that crashed
// it or that needs more memory than its claim may take fails the same request on the same version
// at once, with the same ReadingError, starting no reader; one that ran out of processor time does
// so until the user opens the photo again (forgetTimeVerdicts). "Not read" is never kept, nor is a
// missing reader: both are asked again next time.
//
// Safe to use from any thread. Its lock is taken after every other lock of the program and is
// never held while a reader runs. It outlives the sessions it opens.
class PhotoReader {
  public:
    // `reader` is the reader program; readers claim at most `budget`'s memory, and work within
    // it. `timing` is the readers' backstops (tests make them short).
    PhotoReader(std::filesystem::path reader, ReaderRoom::Budget budget, ReaderTiming timing = {});
    PhotoReader(const PhotoReader&) = delete;
    PhotoReader& operator=(const PhotoReader&) = delete;

    // The program's own: the reader locate() finds, the machine's budget. Made on first use;
    // throws ReadingError (readerMissing) while the reader cannot be found.
    static PhotoReader& forProcess();

    // Where the reader is: $QUILLMERE_READER when set, else the program's own reader folder
    // (ProgramFiles: <prefix>/libexec/quillmere/ for an installed program, the build tree's
    // reader/ folder for a program run from it; never the other's). Throws ReadingError
    // (readerMissing) naming the folder looked in when the reader is not there, or the variable's
    // path when that names no program.
    static std::filesystem::path locate();

    // One reader, one request: started, asked and ended (reaped) before this returns. Throws
    // ReadingError; `stop` kills the reader (notRead).
    ReaderAnswer ask(const OpenedFile& file, ReaderRequest request, std::stop_token stop = {});

    // A reader that stays for follow-ups (ReaderSession::ask) after answering `first` into
    // `firstAnswer`. Throws ReadingError as ask does when `first` is not answered.
    std::unique_ptr<ReaderSession> openSession(const OpenedFile& file, ReaderRequest first,
                                               ReaderAnswer& firstAnswer);

    // The user opens the photo at `file` again: its timed-out verdicts are forgotten, so that a
    // machine that was too busy costs no photo, and a file that needs too much processor time is
    // refused again.
    void forgetTimeVerdicts(const std::filesystem::path& file);

    // How many readers have been started.
    std::size_t readersStarted() const { return started_; }
    const ReaderRoom& room() const { return room_; }

  private:
    friend class ReaderSession;
    using Key = std::pair<FileVersion, reader_protocol::JobKind>;

    // Throws the verdict kept for the request, if any.
    void throwKept(const Key& key) const;
    // A started reader, counted.
    std::unique_ptr<ReaderProcess> start(const OpenedFile& file);
    // The answer of an exchange whose verdict is `verdict`, or that verdict thrown, and kept
    // when it is the file's.
    ReaderAnswer settle(const Key& key, const std::filesystem::path& file, ReaderExchange& exchange,
                        std::optional<ReadingError::Kind> verdict);

    const std::filesystem::path reader_;
    const ReaderTiming timing_;
    ReaderRoom room_;
    std::atomic<std::size_t> started_ = 0;
    mutable std::mutex lock_;
    std::map<Key, ReadingError> verdicts_;
};

// A reader that answers a first request and stays for follow-ups (such as more developments of a
// RAW file's sensor data), on a thread of its own that starts, waits for and ends it: the reader
// dies with the thread that started it, and a session outlives the calls that use it. Its memory
// was claimed with its first request, and a follow-up claims processor time only; the room holds
// that memory and a place while a request is worked, never while the session waits idle, so that
// the readers of other photos never wait for a session to end. Requests are answered one at a
// time, whatever thread asks. Once its reader ended (a follow-up that crashed it, say, or one of
// a kind its first request's job does not take), every later request throws ReadingError
// (notRead). Going, it closes the channel and reaps the reader.
class ReaderSession {
  public:
    ~ReaderSession();
    ReaderSession(const ReaderSession&) = delete;
    ReaderSession& operator=(const ReaderSession&) = delete;

    // Throws ReadingError.
    ReaderAnswer ask(ReaderRequest request);

  private:
    friend class PhotoReader;
    using Result = std::variant<ReaderAnswer, ReadingError>;

    ReaderSession(PhotoReader& owner, const OpenedFile& file);
    // The session's thread: starts the reader, answers the requests handed to it, ends it.
    void serve(std::stop_token stop, const OpenedFile* file);
    Result answer(ReaderProcess& process, ReaderRequest request, bool first);
    // Hands `request` to the session's thread and waits for its result.
    Result handOver(ReaderRequest request);

    PhotoReader& owner_;
    const FileVersion version_;
    const std::filesystem::path file_;
    std::mutex asking_;
    std::mutex lock_;
    std::condition_variable_any changed_;
    std::optional<ReaderRequest> request_;
    std::optional<Result> result_;
    bool over_ = false;
    // What the first request claimed: held in the room while any request is worked.
    std::uint64_t memoryBytes_ = 0;
    // Last: stopped and joined before anything it uses goes.
    std::jthread thread_;
};

}  // namespace quillmere
