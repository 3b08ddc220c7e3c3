#include "core/decode/raw_check_run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <optional>
#include <string>

#include "core/imageio/linear_image.h"
#include "rawbridge/raw_check_protocol.h"

extern char** environ;

namespace quillmere {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint64_t kDevelopedBytesPerPixel = 30;
constexpr std::uint64_t kLibRawTablesBytes = std::uint64_t{512} << 20;
constexpr std::chrono::seconds kStandardProcessorTime{120};
constexpr std::chrono::minutes kStandardBackstop{10};

// waitid's id type for a pidfd (linux/wait.h, which clashes with the C library's <sys/wait.h>).
constexpr int kWaitByPidfd = 3;
// A verdict is a word; anything longer is no verdict.
constexpr std::size_t kLongestVerdict = 16;

// A descriptor closed when it goes.
class Descriptor {
  public:
    explicit Descriptor(int descriptor = -1) : descriptor_(descriptor) {}
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return descriptor_; }
    void reset() {
        if (descriptor_ >= 0) close(descriptor_);
        descriptor_ = -1;
    }

  private:
    int descriptor_;
};

// The helper's standard streams on /dev/null, its channel to the program, and nothing else of
// the program's open. The channel goes first, in case the program runs with a standard stream
// closed and the channel took its number.
class SpawnActions {
  public:
    explicit SpawnActions(int channel) {
        posix_spawn_file_actions_init(&actions_);
        posix_spawn_file_actions_adddup2(&actions_, channel, raw_check::kChannel);
        posix_spawn_file_actions_addopen(&actions_, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions_, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_adddup2(&actions_, 1, 2);
        posix_spawn_file_actions_addclosefrom_np(&actions_, raw_check::kChannel + 1);
    }
    ~SpawnActions() { posix_spawn_file_actions_destroy(&actions_); }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;
    const posix_spawn_file_actions_t* get() const { return &actions_; }

  private:
    posix_spawn_file_actions_t actions_;
};

// Every signal at its default action and none blocked: a signal the program ignores or blocks
// (a broken pipe, or one a library keeps for itself) must end the helper as it ends any program.
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

// Signals go through the pidfd only: once the helper is reaped its process id may name another
// process, its pidfd never does. Through syscall(): the C library's own pidfd functions are not
// declared for C++ in Debian 12.
void killHelper(int pidfd) { syscall(SYS_pidfd_send_signal, pidfd, SIGKILL, nullptr, 0); }

// Gives the helper the word to go. One that cannot take it any more (it ended already) is watched
// only if the pidfd names a child of the program: the kernel may have reaped it (SIGCHLD
// ignored) before its pidfd was taken, leaving its id to another process.
bool toldToGo(int channel, int pidfd) {
    if (send(channel, &raw_check::kGo, 1, MSG_NOSIGNAL) == 1) return true;
    siginfo_t info{};
    return syscall(SYS_waitid, kWaitByPidfd, pidfd, &info, WEXITED | WNOHANG | WNOWAIT, nullptr) ==
           0;
}

// Waits until the process behind `pidfd` ends or the backstop passes; true when it ended. A
// watch that fails ends the wait as the backstop does: the helper is not left running unwatched.
bool endsBefore(int pidfd, Clock::time_point backstop) {
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(backstop - Clock::now());
        if (left.count() <= 0) return false;
        pollfd watched{pidfd, POLLIN, 0};
        const int ready =
            poll(&watched, 1, static_cast<int>(std::min<std::int64_t>(left.count(), INT_MAX)));
        if (ready > 0) return true;
        if (ready < 0 && errno != EINTR) return false;
    }
}

// Reaps the helper: its end and the processor time it used (waitid's fifth argument, which only
// the system call itself has). Nothing when the helper is not the caller's to reap, as when the
// kernel reaped it already.
std::optional<RAWCheckEnd> reap(int pidfd) {
    siginfo_t info{};
    rusage usage{};
    while (syscall(SYS_waitid, kWaitByPidfd, pidfd, &info, WEXITED, &usage) != 0) {
        if (errno != EINTR) return std::nullopt;
    }
    RAWCheckEnd end;
    end.kind =
        info.si_code == CLD_EXITED ? RAWCheckEnd::Kind::exited : RAWCheckEnd::Kind::signalled;
    end.status = info.si_status;
    const auto microseconds = [](const timeval& time) {
        return std::chrono::seconds(time.tv_sec) + std::chrono::microseconds(time.tv_usec);
    };
    end.processorTime = microseconds(usage.ru_utime) + microseconds(usage.ru_stime);
    return end;
}

// The descriptors that came with one message: every one accepted or closed; more than a helper
// hands back, or more than fitted, and all of them are closed.
void takeDescriptors(const msghdr& message, RAWCheckEnd& end, bool& tooMany) {
    for (const cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr;
         header = CMSG_NXTHDR(const_cast<msghdr*>(&message), const_cast<cmsghdr*>(header))) {
        if (header->cmsg_level != SOL_SOCKET || header->cmsg_type != SCM_RIGHTS) continue;
        const std::size_t count = (header->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (std::size_t index = 0; index < count; ++index) {
            int descriptor = -1;
            std::memcpy(&descriptor, CMSG_DATA(header) + index * sizeof(int), sizeof descriptor);
            tooMany = tooMany || end.developments.size() == raw_check::kMostDevelopments;
            if (tooMany) {
                close(descriptor);
            } else if (std::optional<HandedBackDevelopment> development =
                           HandedBackDevelopment::accept(descriptor)) {
                end.developments.push_back(std::move(*development));
            }
        }
    }
    if ((message.msg_flags & MSG_CTRUNC) != 0) tooMany = true;
}

// What the helper wrote before its end (its end of the channel closed with it), and the
// developments it sent with it. A helper that ended without reading the word to go leaves the
// channel reset, which is said once, before what it wrote.
void readVerdict(int channel, RAWCheckEnd& end) {
    char bytes[kLongestVerdict + 1];
    // Room for one descriptor more than a helper hands back, to tell one that sends too many.
    alignas(cmsghdr) unsigned char
        control[CMSG_SPACE((raw_check::kMostDevelopments + 1) * sizeof(int))];
    bool tooMany = false;
    while (end.verdict.size() <= kLongestVerdict) {
        iovec into{bytes, sizeof bytes};
        msghdr message{};
        message.msg_iov = &into;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t got = recvmsg(channel, &message, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
        if (got < 0) {
            if (errno == EINTR || errno == ECONNRESET) continue;
            break;
        }
        takeDescriptors(message, end, tooMany);
        if (got == 0) break;
        end.verdict.append(bytes, static_cast<std::size_t>(got));
    }
    if (end.verdict.size() > kLongestVerdict) end.verdict.clear();
    if (tooMany) end.developments.clear();
}

RAWCheckEnd unread(int error) { return {RAWCheckEnd::Kind::unread, error, {}, {}, {}}; }

}  // namespace

RAWCheckLimits RAWCheckLimits::standard() {
    return {kStandardProcessorTime, kStandardBackstop,
            static_cast<std::uint64_t>(LinearImage::maxPixelCount) * kDevelopedBytesPerPixel +
                kLibRawTablesBytes};
}

RAWCheckEnd runRAWCheck(const std::filesystem::path& helper, const std::filesystem::path& file,
                        const RAWCheckLimits& limits, std::stop_token stop) {
    const Clock::time_point backstop = Clock::now() + limits.backstop;
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return unread(errno);
    Descriptor channel(ends[0]);
    Descriptor helperChannel(ends[1]);

    std::string program = helper.string(), memory = std::to_string(limits.memoryBytes),
                processor = std::to_string(std::max<std::int64_t>(limits.processorTime.count(), 1)),
                parent = std::to_string(getpid()), photo = file.string();
    char* arguments[] = {program.data(), memory.data(), processor.data(),
                         parent.data(),  photo.data(),  nullptr};
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program.c_str(), SpawnActions(helperChannel.get()).get(),
                                    SpawnAttributes().get(), arguments, environ);
    helperChannel.reset();
    if (spawned != 0) return unread(spawned);

    const Descriptor pidfd(static_cast<int>(syscall(SYS_pidfd_open, pid, 0)));
    if (pidfd.get() < 0) {
        const int error = errno;
        // Without the word to go it reads nothing and ends on the channel's end: waited for by
        // its id, which is never signalled.
        channel.reset();
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        return unread(error);
    }
    if (!toldToGo(channel.get(), pidfd.get())) return unread(ECHILD);

    bool ended = false;
    {
        const std::stop_callback stopped(stop, [&] { killHelper(pidfd.get()); });
        ended = endsBefore(pidfd.get(), backstop);
    }
    if (!ended) killHelper(pidfd.get());
    std::optional<RAWCheckEnd> end = reap(pidfd.get());
    if (!end) return unread(errno);
    readVerdict(channel.get(), *end);
    if (!ended || stop.stop_requested()) end->kind = RAWCheckEnd::Kind::outlived;
    return std::move(*end);
}

}  // namespace quillmere
