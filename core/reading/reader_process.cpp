#include "core/reading/reader_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "core/common/program_files.h"
#include "core/reading/wire.h"

extern char** environ;

namespace quillmere {
namespace {

using Clock = std::chrono::steady_clock;
using reader_protocol::MessageKind;

// waitid's id type for a pidfd (linux/wait.h, which clashes with the C library's <sys/wait.h>).
constexpr int kWaitByPidfd = 3;
// The first descriptor number the reader does not keep: its channel and photo are below.
constexpr int kFirstClosed = reader_protocol::kPhoto + 1;

// The reader's standard streams on /dev/null, its channel and photo, and nothing else of the
// program's open. Both come from above the numbers they take (dupAbove), so that neither is
// overwritten by the other or by a standard stream.
class SpawnActions {
  public:
    SpawnActions(int channel, int photo) {
        posix_spawn_file_actions_init(&actions_);
        posix_spawn_file_actions_adddup2(&actions_, channel, reader_protocol::kChannel);
        posix_spawn_file_actions_adddup2(&actions_, photo, reader_protocol::kPhoto);
        posix_spawn_file_actions_addopen(&actions_, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions_, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_adddup2(&actions_, 1, 2);
        posix_spawn_file_actions_addclosefrom_np(&actions_, kFirstClosed);
    }
    ~SpawnActions() { posix_spawn_file_actions_destroy(&actions_); }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;
    const posix_spawn_file_actions_t* get() const { return &actions_; }

  private:
    posix_spawn_file_actions_t actions_;
};

// Every signal at its default action and none blocked.
class SpawnAttributes {
  public:
    SpawnAttributes() {
        posix_spawnattr_init(&attributes_);
        sigset_t all, none;
        sigfillset(&all);
        sigemptyset(&none);
        posix_spawnattr_setsigdefault(&attributes_, &all);
        posix_spawnattr_setsigmask(&attributes_, &none);
        posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    }
    ~SpawnAttributes() { posix_spawnattr_destroy(&attributes_); }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
    const posix_spawnattr_t* get() const { return &attributes_; }

  private:
    posix_spawnattr_t attributes_;
};

// A close-on-exec copy of `descriptor` numbered above the reader's own descriptors.
UniqueDescriptor dupAbove(int descriptor) {
    return UniqueDescriptor(fcntl(descriptor, F_DUPFD_CLOEXEC, kFirstClosed));
}

// The signals a program's own fault raises; any other comes from outside.
bool isFault(int signal) {
    return signal == SIGSEGV || signal == SIGBUS || signal == SIGILL || signal == SIGFPE ||
           signal == SIGABRT || signal == SIGSYS || signal == SIGTRAP;
}

std::chrono::microseconds microseconds(const timeval& time) {
    return std::chrono::seconds(time.tv_sec) + std::chrono::microseconds(time.tv_usec);
}

// The claim of a claim message; nothing for one that cannot be read.
std::optional<ReaderClaim> claimOf(const std::string& body) {
    try {
        WireReader reader(body);
        ReaderClaim claim;
        claim.memoryBytes = reader.u64();
        const std::uint64_t milliseconds = reader.u64();
        claim.claimed = reader.text(reader_protocol::kMaxClaimedTextBytes);
        reader.finish();
        // Past any time a claim may take, counted as such without overflow.
        claim.processorTime = std::chrono::milliseconds(
            std::min<std::uint64_t>(milliseconds, reader_protocol::kMostProcessorTime.count() + 1));
        return claim;
    } catch (const WireError&) {
        return std::nullopt;
    }
}

// The one text of a refused or memory message; nothing for one that cannot be read.
std::optional<std::string> textOf(const std::string& body, std::size_t maxBytes) {
    try {
        WireReader reader(body);
        std::string text = reader.text(maxBytes);
        reader.finish();
        return text;
    } catch (const WireError&) {
        return std::nullopt;
    }
}

}  // namespace

std::optional<ReadingError::Kind> verdictOf(const ReaderExchange& exchange, const ReaderEnd& end) {
    using Kind = ReadingError::Kind;
    using Said = ReaderExchange::Said;
    if (exchange.said == Said::overClaimedMemory) return Kind::exceededMemory;
    if (exchange.said == Said::overClaimedTime) return Kind::timedOut;
    const bool exitedWell = end.kind == ReaderEnd::Kind::exited && end.status == 0;
    const bool signalled = end.kind == ReaderEnd::Kind::signalled;
    if (exchange.said == Said::memory && (exitedWell || signalled)) return Kind::exceededMemory;
    if (exitedWell && exchange.said == Said::answer) return std::nullopt;
    if (exitedWell && exchange.said == Said::refused) return Kind::refused;
    const bool ranOutOfTime =
        end.status == SIGXCPU || (end.status == SIGKILL && !end.killedOnPurpose &&
                                  exchange.claimedProcessorTime.count() > 0 &&
                                  end.processorTime * 2 >= exchange.claimedProcessorTime);
    if (signalled && ranOutOfTime) return Kind::timedOut;
    if (signalled && isFault(end.status)) return Kind::crashed;
    return Kind::notRead;
}

ReaderProcess::ReaderProcess(const std::filesystem::path& reader, const OpenedFile& photo,
                             std::uint64_t memoryCeiling, ReaderTiming timing)
    : photo_(photo.path()), ceiling_(memoryCeiling), timing_(timing) {
    const auto notRead = [&] { return ReadingError(ReadingError::Kind::notRead, photo_); };
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) throw notRead();
    channel_.reset(ends[0]);
    // The program never waits on the channel but in poll, where the backstops hold.
    if (fcntl(channel_.get(), F_SETFL, O_NONBLOCK) != 0) throw notRead();
    UniqueDescriptor theirs(ends[1]);
    const UniqueDescriptor readerChannel = dupAbove(theirs.get());
    const UniqueDescriptor readerPhoto = dupAbove(photo.descriptor());
    theirs.reset();
    if (!readerChannel || !readerPhoto) throw notRead();

    std::string program = reader.string(), parent = std::to_string(getpid()),
                ceiling = std::to_string(memoryCeiling);
    char* arguments[] = {program.data(), parent.data(), ceiling.data(), nullptr};
    const int spawned = posix_spawn(&pid_, program.c_str(),
                                    SpawnActions(readerChannel.get(), readerPhoto.get()).get(),
                                    SpawnAttributes().get(), arguments, environ);
    if (spawned == ENOENT || spawned == EACCES || spawned == ENOEXEC || spawned == ENOTDIR ||
        spawned == ELOOP || spawned == EISDIR) {
        const std::optional<ProgramFiles>& files = ProgramFiles::forProcess();
        throw ReadingError::readerNotIn(reader.parent_path(), files && files->inBuildTree);
    }
    if (spawned != 0) throw notRead();

    pidfd_.reset(static_cast<int>(syscall(SYS_pidfd_open, pid_, 0)));
    if (!pidfd_) {
        // Sent nothing, it reads nothing and ends at the channel's end: waited for by its id,
        // which is never signalled.
        channel_.reset();
        while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
        }
        throw notRead();
    }
}

ReaderProcess::~ReaderProcess() { end(); }

void ReaderProcess::kill(bool onPurpose) {
    if (onPurpose) killedOnPurpose_ = true;
    syscall(SYS_pidfd_send_signal, pidfd_.get(), SIGKILL, nullptr, 0);
}

std::chrono::microseconds ReaderProcess::processorTimeNow() const {
    // Read while the reader is the program's unreaped child, whose id names nothing else.
    clockid_t clock;
    timespec time{};
    if (clock_getcpuclockid(pid_, &clock) != 0 || clock_gettime(clock, &time) != 0) return {};
    return std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::seconds(time.tv_sec) + std::chrono::nanoseconds(time.tv_nsec));
}

std::optional<ChannelMessage> ReaderProcess::await(std::chrono::milliseconds backstop) {
    const Clock::time_point until = Clock::now() + backstop;
    for (;;) {
        ChannelReceipt receipt;
        try {
            receipt = receiveMessage(channel_.get(), false);
        } catch (const WireError&) {
            kill(true);
            return std::nullopt;
        }
        if (receipt.status == ChannelReceipt::Status::message) return std::move(receipt.message);
        if (receipt.status == ChannelReceipt::Status::ended) return std::nullopt;

        const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
        if (left.count() <= 0) {
            kill(false);
            return std::nullopt;
        }
        pollfd watched[] = {{channel_.get(), POLLIN, 0}, {pidfd_.get(), POLLIN, 0}};
        const int ready =
            poll(watched, 2, static_cast<int>(std::min<std::int64_t>(left.count(), INT_MAX)));
        if (ready < 0 && errno != EINTR) {
            // A watch that fails ends the wait as the backstop does: the reader is not left
            // running unwatched.
            kill(true);
            return std::nullopt;
        }
        // The reader ended with nothing more on the channel (its end of the channel closes before
        // its pidfd says it ended; only a process it handed the channel to keeps it open).
        if (ready > 0 && (watched[1].revents & POLLIN) != 0 && (watched[0].revents & POLLIN) == 0) {
            return std::nullopt;
        }
    }
}

ReaderExchange ReaderProcess::exchange(ReaderRequest request, bool followUp, const Admit& admit,
                                       std::stop_token stop) {
    using Said = ReaderExchange::Said;
    ReaderExchange result;
    if (ended_) return result;
    const std::stop_callback stopped(stop, [this] { kill(true); });

    std::vector<int> files;
    for (const UniqueDescriptor& file : request.files) files.push_back(file.get());
    const std::string body =
        WireWriter().u32(static_cast<std::uint32_t>(request.kind)).bytes(request.params).take();
    if (!sendMessage(channel_.get(), MessageKind::request, body, files)) return result;
    request.files.clear();

    std::optional<ChannelMessage> reply = await(timing_.claim);
    if (!reply) return result;
    if (reply->kind == MessageKind::refused || reply->kind == MessageKind::memory) {
        const bool refused = reply->kind == MessageKind::refused;
        const std::optional<std::string> text =
            textOf(reply->body, refused ? reader_protocol::kMaxSentenceBytes
                                        : reader_protocol::kMaxClaimedTextBytes);
        if (!text || (refused && text->empty())) {
            kill(true);
            return result;
        }
        result.said = refused ? Said::refused : Said::memory;
        (refused ? result.sentence : result.claimed) = *text;
        return result;
    }
    const std::optional<ReaderClaim> claim =
        reply->kind == MessageKind::claim ? claimOf(reply->body) : std::nullopt;
    const bool readable = claim && claim->processorTime.count() > 0 && !claim->claimed.empty() &&
                          (followUp ? claim->memoryBytes == 0 : claim->memoryBytes > 0);
    if (!readable) {
        kill(true);
        return result;
    }
    result.claimed = claim->claimed;
    result.claimedProcessorTime = claim->processorTime;
    if (claim->memoryBytes > ceiling_) {
        result.said = Said::overClaimedMemory;
        return result;
    }
    if (claim->processorTime > reader_protocol::kMostProcessorTime) {
        result.said = Said::overClaimedTime;
        return result;
    }
    if (!admit(*claim)) {
        kill(true);
        return result;
    }
    if (stop.stop_requested()) return result;

    processorTimeAtGo_ = processorTimeNow();
    if (!sendMessage(channel_.get(), MessageKind::go, {})) return result;
    reply = await(timing_.workBackstop(claim->processorTime));
    if (!reply) return result;
    switch (reply->kind) {
        case MessageKind::answer:
            result.said = Said::answer;
            result.answer = {std::move(reply->body), std::move(reply->files)};
            return result;
        case MessageKind::refused:
            if (const std::optional<std::string> sentence =
                    textOf(reply->body, reader_protocol::kMaxSentenceBytes);
                sentence && !sentence->empty()) {
                result.said = Said::refused;
                result.sentence = *sentence;
                return result;
            }
            break;
        case MessageKind::memory:
            result.said = Said::memory;
            return result;
        default:
            break;
    }
    kill(true);
    return result;
}

ReaderEnd ReaderProcess::end() {
    if (ended_) return *ended_;
    channel_.reset();
    pollfd watched{pidfd_.get(), POLLIN, 0};
    const Clock::time_point until = Clock::now() + timing_.claim;
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
        const int ready =
            left.count() <= 0
                ? 0
                : poll(&watched, 1,
                       static_cast<int>(std::min<std::int64_t>(left.count(), INT_MAX)));
        if (ready > 0) break;
        if (ready < 0 && errno == EINTR) continue;
        kill(true);
        break;
    }
    ReaderEnd end;
    siginfo_t info{};
    rusage usage{};
    int waited = 0;
    while ((waited = static_cast<int>(
                syscall(SYS_waitid, kWaitByPidfd, pidfd_.get(), &info, WEXITED, &usage))) != 0 &&
           errno == EINTR) {
    }
    if (waited == 0) {
        end.kind =
            info.si_code == CLD_EXITED ? ReaderEnd::Kind::exited : ReaderEnd::Kind::signalled;
        end.status = info.si_status;
        end.processorTime = std::max(
            std::chrono::microseconds(0),
            microseconds(usage.ru_utime) + microseconds(usage.ru_stime) - processorTimeAtGo_);
    }
    end.killedOnPurpose = killedOnPurpose_;
    ended_ = end;
    return end;
}

void keepChildEndsReadable() {
    struct sigaction current {};
    if (sigaction(SIGCHLD, nullptr, &current) != 0 || current.sa_handler != SIG_IGN) return;
    signal(SIGCHLD, SIG_DFL);
}

}  // namespace quillmere
