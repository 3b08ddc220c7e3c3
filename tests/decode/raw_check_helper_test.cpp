#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <thread>

#include "core/decode/raw_check_run.h"
#include "core/decode/raw_file_vetting.h"
#include "tests/fixtures/synthetic_dng.h"
#include "tests/fixtures/temporary_folder.h"

namespace quillmere {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The helper goes no further than its limits without the word of the program that started it:
// its exit status says whether it went on (0) or stopped (2).
TEST(RAWCheckHelper, ReadsTheFileOnlyOnItsProgramsWord) {
    testing::TemporaryFolder folder;
    const fs::path photo = folder.path() / "photo.dng";
    fixtures::writeSyntheticDNG(photo, {});
    const std::string helper = "'" + RAWFileVetting::locateHelper().string() + "' 1073741824 10 ";
    const std::string file = " '" + photo.string() + "'";
    // The shell's `$$` is the helper's parent; "; exit" keeps the shell from handing its process
    // to the helper.
    const std::tuple<std::string, int> cases[] = {
        {"printf g | " + helper + "$$" + file + " 3<&0", 0},
        {helper + "$$" + file + " 3</dev/null", 2},
        {"printf x | " + helper + "$$" + file + " 3<&0", 2},
        {"printf g | " + helper + "1" + file + " 3<&0", 2},
        {"printf g | " + helper + "$$" + " 3<&0", 2},
    };
    for (const auto& [command, status] : cases) {
        const int ended = std::system((command + "; exit $?").c_str());
        EXPECT_TRUE(WIFEXITED(ended)) << command;
        EXPECT_EQ(WEXITSTATUS(ended), status) << command;
    }
}

bool someProcessNames(const std::string& text) {
    for (const fs::directory_entry& process : fs::directory_iterator("/proc")) {
        std::ifstream in(process.path() / "cmdline");
        const std::string line{std::istreambuf_iterator<char>(in), {}};
        if (line.find(text) != std::string::npos) return true;
    }
    return false;
}

TEST(RAWCheckHelper, EndsWithItsProgram) {
    // The program is this test run again in a process of its own (the death test), which takes
    // the FIFO of the first run from the environment it inherits.
    constexpr const char* kWaiting = "QUILLMERE_TEST_HELPER_WAITS_ON";
    std::optional<testing::TemporaryFolder> folder;
    if (!std::getenv(kWaiting)) {
        folder.emplace();
        const fs::path fifo = folder->path() / "waits.dng";
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        setenv(kWaiting, fifo.c_str(), 1);
    }
    const fs::path fifo = std::getenv(kWaiting);
    // The helper waits in LibRaw's open of the FIFO when its program is killed.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            std::thread([] {
                std::this_thread::sleep_for(500ms);
                kill(getpid(), SIGKILL);
            }).detach();
            runRAWCheck(RAWFileVetting::locateHelper(), fifo, RAWCheckLimits::standard());
        },
        ::testing::KilledBySignal(SIGKILL), "");
    unsetenv(kWaiting);
    const auto deadline = std::chrono::steady_clock::now() + 3s;
    while (someProcessNames(fifo.string()) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(50ms);
    }
    const bool helperLeft = someProcessNames(fifo.string());
    EXPECT_FALSE(helperLeft);
    // A writer that comes and goes lets a helper left behind read the FIFO's end.
    if (helperLeft) close(open(fifo.c_str(), O_WRONLY | O_NONBLOCK));
}

}  // namespace
}  // namespace quillmere
