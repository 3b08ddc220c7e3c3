#include "core/decode/raw_check_run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <thread>

#include "core/imageio/linear_image.h"

extern char** environ;

namespace quillmere {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint64_t kDevelopedBytesPerPixel = 30;
constexpr std::uint64_t kLibRawTablesBytes = std::uint64_t{512} << 20;
constexpr std::chrono::seconds kStandardDeadline{30};

// The processor time the helper may take: the deadline on every core (LibRaw develops on
// several), whole seconds, at least one. The deadline ends a run first; this ends a helper whose
// program is gone before it could kill it.
std::uint64_t processorSeconds(std::chrono::milliseconds deadline) {
    const std::int64_t seconds = std::chrono::ceil<std::chrono::seconds>(deadline).count();
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    return static_cast<std::uint64_t>(std::max<std::int64_t>(seconds, 1)) * cores;
}

// The helper's standard streams on /dev/null and nothing else of the program's open.
class SpawnActions {
  public:
    SpawnActions() {
        posix_spawn_file_actions_init(&actions_);
        posix_spawn_file_actions_addopen(&actions_, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions_, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_adddup2(&actions_, 1, 2);
        posix_spawn_file_actions_addclosefrom_np(&actions_, 3);
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

// Waits until the process behind `pidfd` ends or the deadline passes; true when it ended. A
// watch that fails ends the wait as the deadline does: the helper is not left running unwatched.
bool endsBefore(int pidfd, Clock::time_point deadline) {
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return false;
        pollfd watched{pidfd, POLLIN, 0};
        const int ready =
            poll(&watched, 1, static_cast<int>(std::min<std::int64_t>(left.count(), 1000)));
        if (ready > 0) return true;
        if (ready < 0 && errno != EINTR) return false;
    }
}

int reap(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

}  // namespace

RAWCheckLimits RAWCheckLimits::standard() {
    return {kStandardDeadline,
            static_cast<std::uint64_t>(LinearImage::maxPixelCount) * kDevelopedBytesPerPixel +
                kLibRawTablesBytes};
}

RAWCheckEnd runRAWCheck(const std::filesystem::path& helper, const std::filesystem::path& file,
                        const RAWCheckLimits& limits) {
    const Clock::time_point deadline = Clock::now() + limits.deadline;
    std::string program = helper.string(), memory = std::to_string(limits.memoryBytes),
                processor = std::to_string(processorSeconds(limits.deadline)),
                photo = file.string();
    char* arguments[] = {program.data(), memory.data(), processor.data(), photo.data(), nullptr};
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program.c_str(), SpawnActions().get(),
                                    SpawnAttributes().get(), arguments, environ);
    if (spawned != 0) return {RAWCheckEnd::Kind::notRun, spawned};

    // Through syscall(): the C library's own pidfd_open is not declared for C++ in Debian 12.
    const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (pidfd < 0) {
        const int error = errno;
        kill(pid, SIGKILL);
        reap(pid);
        return {RAWCheckEnd::Kind::notRun, error};
    }
    const bool ended = endsBefore(pidfd, deadline);
    // Not reaped yet, so the process id still names the helper.
    if (!ended) kill(pid, SIGKILL);
    const int status = reap(pid);
    close(pidfd);
    if (!ended) return {RAWCheckEnd::Kind::timedOut, SIGKILL};
    if (WIFSIGNALED(status)) return {RAWCheckEnd::Kind::signalled, WTERMSIG(status)};
    return {RAWCheckEnd::Kind::exited, WEXITSTATUS(status)};
}

}  // namespace quillmere
