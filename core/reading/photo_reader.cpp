#include "core/reading/photo_reader.h"

#include <unistd.h>

#include <cstdlib>
#include <limits>
#include <system_error>

#include "core/common/program_files.h"

namespace quillmere {

namespace fs = std::filesystem;
using reader_protocol::JobKind;

namespace {

bool isProgram(const fs::path& path) {
    std::error_code error;
    return fs::is_regular_file(path, error) && access(path.c_str(), X_OK) == 0;
}

// Verdicts that are the file's, kept for its version; the others are asked again.
bool isKept(ReadingError::Kind kind) {
    using Kind = ReadingError::Kind;
    return kind == Kind::refused || kind == Kind::crashed || kind == Kind::exceededMemory ||
           kind == Kind::timedOut;
}

std::string readerName() {
    return std::string("Quillmere's photo reader ") + reader_protocol::kProgramName;
}

}  // namespace

PhotoReader::PhotoReader(fs::path reader, ReaderRoom::Budget budget, ReaderTiming timing)
    : reader_(std::move(reader)), timing_(timing), room_(budget) {
    keepChildEndsReadable();
}

PhotoReader& PhotoReader::forProcess() {
    static PhotoReader reader(locate(), ReaderRoom::Budget::ofMachine());
    return reader;
}

fs::path PhotoReader::locate() {
    if (const char* configured = std::getenv(reader_protocol::kLocationVariable)) {
        if (isProgram(configured)) return configured;
        throw ReadingError::missingReader(readerName() +
                                          " is missing: " + reader_protocol::kLocationVariable +
                                          " names " + configured + ", which is not a program.");
    }
    const std::optional<ProgramFiles>& files = ProgramFiles::forProcess();
    if (!files) {
        throw ReadingError::missingReader(readerName() +
                                          " cannot be found: the program cannot read where it "
                                          "is (/proc/self/exe).");
    }
    const fs::path reader = files->readerFolder / reader_protocol::kProgramName;
    if (isProgram(reader)) return reader;
    throw ReadingError::readerNotIn(files->readerFolder, files->inBuildTree);
}

void PhotoReader::throwKept(const Key& key) const {
    const std::lock_guard guard(lock_);
    if (const auto kept = verdicts_.find(key); kept != verdicts_.end()) throw kept->second;
}

std::unique_ptr<ReaderProcess> PhotoReader::start(const OpenedFile& file) {
    auto process =
        std::make_unique<ReaderProcess>(reader_, file, room_.budget().memoryBytes, timing_);
    ++started_;
    return process;
}

ReaderAnswer PhotoReader::settle(const Key& key, const fs::path& file, ReaderExchange& exchange,
                                 std::optional<ReadingError::Kind> verdict) {
    if (!verdict) return std::move(exchange.answer);
    const ReadingError error(
        *verdict, file,
        *verdict == ReadingError::Kind::refused ? exchange.sentence : exchange.claimed);
    if (isKept(*verdict)) {
        const std::lock_guard guard(lock_);
        verdicts_.insert_or_assign(key, error);
    }
    throw error;
}

ReaderAnswer PhotoReader::ask(const OpenedFile& file, ReaderRequest request, std::stop_token stop) {
    const Key key{file.version(), request.kind};
    throwKept(key);
    if (stop.stop_requested()) throw ReadingError(ReadingError::Kind::notRead, file.path());
    const std::unique_ptr<ReaderProcess> process = start(file);
    ReaderRoom::Ticket ticket;
    ReaderExchange exchange = process->exchange(
        std::move(request), false,
        [&](const ReaderClaim& claim) {
            ticket = room_.enter(claim.memoryBytes, stop);
            return static_cast<bool>(ticket);
        },
        stop);
    const ReaderEnd end = process->end();
    return settle(key, file.path(), exchange, verdictOf(exchange, end));
}

std::unique_ptr<ReaderSession> PhotoReader::openSession(const OpenedFile& file, ReaderRequest first,
                                                        ReaderAnswer& firstAnswer) {
    throwKept({file.version(), first.kind});
    std::unique_ptr<ReaderSession> session(new ReaderSession(*this, file));
    ReaderSession::Result answered = session->handOver(std::move(first));
    if (ReadingError* error = std::get_if<ReadingError>(&answered)) throw *error;
    firstAnswer = std::move(std::get<ReaderAnswer>(answered));
    return session;
}

void PhotoReader::forgetTimeVerdicts(const fs::path& file) {
    constexpr std::int64_t earliest = std::numeric_limits<std::int64_t>::min();
    const FileVersion least{
        .path = file.string(), .modifiedNanoseconds = earliest, .changedNanoseconds = earliest};
    const std::lock_guard guard(lock_);
    for (auto entry = verdicts_.lower_bound({least, JobKind{}});
         entry != verdicts_.end() && entry->first.first.path == least.path;) {
        entry = entry->second.kind() == ReadingError::Kind::timedOut ? verdicts_.erase(entry)
                                                                     : std::next(entry);
    }
}

ReaderSession::ReaderSession(PhotoReader& owner, const OpenedFile& file)
    : owner_(owner),
      version_(file.version()),
      file_(file.path()),
      thread_([this, file = &file](std::stop_token stop) { serve(stop, file); }) {}

ReaderSession::~ReaderSession() {
    thread_.request_stop();
    thread_.join();
}

ReaderSession::Result ReaderSession::handOver(ReaderRequest request) {
    const std::lock_guard asking(asking_);
    std::unique_lock guard(lock_);
    if (over_) return ReadingError(ReadingError::Kind::notRead, file_);
    request_ = std::move(request);
    changed_.notify_all();
    changed_.wait(guard, [&] { return result_.has_value(); });
    Result result = std::move(*result_);
    result_.reset();
    return result;
}

ReaderAnswer ReaderSession::ask(ReaderRequest request) {
    Result result = handOver(std::move(request));
    if (ReadingError* error = std::get_if<ReadingError>(&result)) throw *error;
    return std::move(std::get<ReaderAnswer>(result));
}

ReaderSession::Result ReaderSession::answer(ReaderProcess& process, ReaderRequest request,
                                            bool first) {
    const PhotoReader::Key key{version_, request.kind};
    try {
        owner_.throwKept(key);
        // A place in the room while the request is worked, with the memory the session claimed
        // first (a development needs it again); an idle session holds none, so that the readers
        // of other photos (thumbnails, metadata, an export) never wait for it to end.
        ReaderRoom::Ticket ticket;
        ReaderExchange exchange =
            process.exchange(std::move(request), !first,
                             [&](const ReaderClaim& claim) {
                                 if (first) memoryBytes_ = claim.memoryBytes;
                                 ticket = owner_.room_.enter(memoryBytes_, {});
                                 return true;
                             },
                             {});
        // The reader stays after an answer or a refusal; anything else ends it.
        using Said = ReaderExchange::Said;
        if (exchange.said == Said::answer) return owner_.settle(key, file_, exchange, std::nullopt);
        if (exchange.said == Said::refused) {
            return owner_.settle(key, file_, exchange, ReadingError::Kind::refused);
        }
        return owner_.settle(key, file_, exchange, verdictOf(exchange, process.end()));
    } catch (const ReadingError& error) {
        return error;
    }
}

void ReaderSession::serve(std::stop_token stop, const OpenedFile* file) {
    std::unique_ptr<ReaderProcess> process;
    std::unique_lock guard(lock_);
    for (;;) {
        changed_.wait(guard, stop, [&] { return request_.has_value(); });
        if (!request_) break;
        ReaderRequest request = std::move(*request_);
        request_.reset();
        guard.unlock();
        Result result = ReadingError(ReadingError::Kind::notRead, file_);
        const bool first = !process;
        try {
            if (first) process = owner_.start(*file);
            result = answer(*process, std::move(request), first);
        } catch (const ReadingError& error) {
            result = error;
        }
        guard.lock();
        // A refused first request ends the session as its reader's end does.
        over_ =
            !process || process->ended() || (first && std::holds_alternative<ReadingError>(result));
        result_ = std::move(result);
        changed_.notify_all();
        if (over_) break;
    }
    guard.unlock();
    process.reset();
}

}  // namespace quillmere
