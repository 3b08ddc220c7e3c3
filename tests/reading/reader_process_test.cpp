#include "core/reading/reader_process.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <thread>

#include "tests/reading/reading_test_support.h"

namespace quillmere {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Said = ReaderExchange::Said;
using testing::kRoomy;
using testing::kStandIn;
using testing::request;

const ReaderProcess::Admit kAdmitted = [](const ReaderClaim&) { return true; };

class ReaderProcessTest : public testing::ReadingTest {};

TEST_F(ReaderProcessTest, ItsTimerEndsItWithSIGXCPUAndTheBackstopWithSIGKILL) {
    const auto file = OpenedFile::open(photo());
    const struct {
        const char* params;
        ReaderTiming timing;
        int signal;
    } cases[] = {{"spin", {}, SIGXCPU}, {"hang", {.work = 50ms, .workPerClaimed = 0}, SIGKILL}};
    for (const auto& [params, timing, signal] : cases) {
        ReaderProcess process(kStandIn, *file, kRoomy.memoryBytes, timing);
        EXPECT_EQ(process.exchange(request(params), false, kAdmitted, {}).said, Said::nothing);
        const ReaderEnd end = process.end();
        EXPECT_EQ(end.kind, ReaderEnd::Kind::signalled) << params;
        EXPECT_EQ(end.status, signal) << params;
        // A backstop's kill is no kill on purpose: a reader that used its time until then ran out.
        EXPECT_FALSE(end.killedOnPurpose) << params;
    }
}

TEST_F(ReaderProcessTest, AReaderEndsWithTheThreadThatStartedIt) {
    const auto file = OpenedFile::open(photo());
    std::unique_ptr<ReaderProcess> process;
    pid_t thread = 0;
    std::thread([&] {
        thread = static_cast<pid_t>(syscall(SYS_gettid));
        process =
            std::make_unique<ReaderProcess>(kStandIn, *file, kRoomy.memoryBytes, ReaderTiming{});
        // Answered, so the reader has asked to die with this thread.
        EXPECT_EQ(process->exchange(request("echo"), false, kAdmitted, {}).said, Said::answer);
    }).join();
    // Gone from the process's tasks only once its children were told.
    const fs::path task = "/proc/self/task/" + std::to_string(thread);
    while (fs::exists(task)) std::this_thread::yield();
    EXPECT_EQ(process->exchange(request("echo"), true, kAdmitted, {}).said, Said::nothing);
    const ReaderEnd end = process->end();
    EXPECT_EQ(end.kind, ReaderEnd::Kind::signalled);
    EXPECT_EQ(end.status, SIGKILL);
    EXPECT_FALSE(end.killedOnPurpose);
}

}  // namespace
}  // namespace quillmere
