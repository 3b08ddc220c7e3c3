#include "core/decode/raw_file_vetting.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <future>
#include <iterator>
#include <map>
#include <thread>
#include <vector>

#include "tests/decode/fake_raw_check_helper.h"
#include "tests/fixtures/synthetic_dng.h"

namespace quillmere {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Verdict = RAWFileVetting::Verdict;

const RAWCheckLimits kQuick{1s, 30s, std::uint64_t{1} << 30};

class RAWFileVettingTest : public ::testing::Test {
  protected:
    fs::path photo(const std::string& bytes = "RAW") const {
        std::ofstream(folder() / "a.nef") << bytes;
        return folder() / "a.nef";
    }
    const fs::path& folder() const { return helpers.folder.path(); }

    testing::FakeRAWCheckHelpers helpers;
};

TEST_F(RAWFileVettingTest, OnlyAHelperThatSaysItReadTheFilePermitsIt) {
    const std::string crashed = "LibRaw crashed while reading a.nef.",
                      late = "LibRaw did not finish reading a.nef in time.",
                      memory = "Reading a.nef took LibRaw more memory than it may use.",
                      unchecked = "a.nef could not be checked before reading it.";
    const std::pair<const char*, std::string> cases[] = {
        {"printf read >&3", ""},
        // An exit status alone says nothing.
        {"exit 0", unchecked},
        {"printf read >&3; exit 1", unchecked},
        {"exit 2", unchecked},
        {"kill -SEGV $$", crashed},
        {"printf memory >&3", memory},
        {"printf memory >&3; kill -SEGV $$", memory},
        // The processor limit's soft end, and its hard end where the two are one.
        {"kill -XCPU $$", late},
        {"ulimit -t 1; while :; do :; done", late},
        // Killed from outside: not the file's doing.
        {"kill -KILL $$", unchecked},
        // Stopped for longer than its processor time, then continued.
        {"(sleep 1.5; kill -CONT $$) & kill -STOP $$; printf read >&3", ""},
        // The file changes while it is checked: the old version's verdict is not the new one's.
        {"echo more >> \"$4\"; printf read >&3", unchecked},
    };
    // Side by side, each on a file of its own.
    std::vector<std::future<std::string>> refusals;
    for (const auto& [body, refusal] : cases) {
        const fs::path file = folder() / std::to_string(refusals.size()) / "a.nef";
        fs::create_directory(file.parent_path());
        std::ofstream(file) << "RAW";
        refusals.push_back(std::async(std::launch::async, [file, helper = helpers.running(body)] {
            return RAWFileVetting(helper, kQuick).refusal(file).value_or("");
        }));
    }
    for (std::size_t index = 0; index < refusals.size(); ++index) {
        EXPECT_EQ(refusals[index].get(), cases[index].second) << cases[index].first;
    }
    // Still waiting at the backstop: not the file's doing either.
    const fs::path file = photo();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(RAWFileVetting(helpers.running("exec sleep 20"), {1s, 1s, kQuick.memoryBytes})
                  .refusal(file),
              unchecked);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_EQ(RAWFileVetting(folder() / "none", kQuick).verdict(file), Verdict::notChecked);

    // What is not a regular file is never shown to the helper.
    ASSERT_EQ(mkfifo((folder() / "fifo.dng").c_str(), 0600), 0);
    fs::create_directory(folder() / "folder.dng");
    RAWFileVetting vetting(helpers.running("printf read >&3"), kQuick);
    const long runs = helpers.runs();
    EXPECT_EQ(vetting.refusal(folder() / "gone.nef"), "gone.nef cannot be read.");
    EXPECT_EQ(vetting.refusal(folder() / "fifo.dng"), "fifo.dng is not a regular file.");
    EXPECT_EQ(vetting.verdict(folder() / "folder.dng"), Verdict::notRegularFile);
    EXPECT_EQ(helpers.runs(), runs);
}

TEST_F(RAWFileVettingTest, AVerdictHoldsForTheBytesItWasGivenFor) {
    RAWFileVetting vetting(helpers.running("printf read >&3"), kQuick);
    const fs::path file = photo();
    vetting.verdict(file);
    vetting.verdict(file);
    EXPECT_EQ(helpers.runs(), 1);
    // Other bytes of the same size under the same modification time, in place or in a copy
    // renamed over it: the change time and the inode tell.
    const fs::file_time_type modified = fs::last_write_time(file);
    photo("RAX");
    fs::last_write_time(file, modified);
    vetting.verdict(file);
    fs::copy_file(file, folder() / "copy");
    fs::last_write_time(folder() / "copy", modified);
    fs::rename(folder() / "copy", file);
    vetting.verdict(file);
    // Another size, other limits.
    photo("RAW!");
    vetting.verdict(file);
    vetting.setLimits({9s, 9s, kQuick.memoryBytes});
    vetting.verdict(file);
    EXPECT_EQ(helpers.runs(), 5);
}

TEST_F(RAWFileVettingTest, OnlyATimeVerdictIsForgottenWhenThePhotoIsOpenedAgain) {
    const fs::path file = photo();
    const std::tuple<const char*, long> cases[] = {
        {"kill -XCPU $$", 2}, {"kill -SEGV $$", 1}, {"printf read >&3", 1}, {"exit 2", 3}};
    for (const auto& [body, runs] : cases) {
        SCOPED_TRACE(body);
        RAWFileVetting vetting(helpers.running(body), kQuick);
        const long before = helpers.runs();
        vetting.verdict(file);
        vetting.verdict(file);
        vetting.forgetTimeVerdict(file);
        vetting.verdict(file);
        EXPECT_EQ(helpers.runs() - before, runs);
    }
}

TEST_F(RAWFileVettingTest, AFileAskedForNowGoesFirstAndAGateGoneEndsItsHelpers) {
    const fs::path file = photo();
    {
        // Each run notes its file; the one helper may already be checking 1.nef when a.nef is
        // asked for, and goes on to the next file as soon as a.nef's verdict is told.
        RAWFileVetting vetting(helpers.running(R"(basename "$4" >> "$(dirname "$0")/order"
sleep 0.2; printf read >&3)"),
                               kQuick, {1, kQuick.memoryBytes});
        for (const char* name : {"1.nef", "2.nef", "3.nef", "4.nef", "5.nef"}) {
            std::ofstream(folder() / name) << name;
            vetting.checkAhead(folder() / name);
        }
        EXPECT_EQ(vetting.verdict(file), Verdict::permitted);
        std::ifstream order(folder() / "order");
        std::vector<std::string> checked{std::istream_iterator<std::string>(order), {}};
        const auto asked = std::find(checked.begin(), checked.end(), file.filename().string());
        ASSERT_NE(asked, checked.end());
        EXPECT_LE(asked - checked.begin(), 1);
    }
    const auto start = std::chrono::steady_clock::now();
    {
        RAWFileVetting vetting(helpers.running("exec sleep 20"), {1s, 30s, kQuick.memoryBytes});
        const long runs = helpers.runs();
        vetting.checkAhead(file);
        while (helpers.runs() == runs) std::this_thread::sleep_for(10ms);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
}

// Runs note their memory limit and how many ran then; a "big" file needs more than a share.
TEST_F(RAWFileVettingTest, HelpersRunSideBySideWithinTheirBudget) {
    const std::uint64_t whole = std::uint64_t{2} << 30;
    RAWFileVetting vetting(helpers.running(R"(d=$(dirname "$0"); mkdir "$d/running.$$"
echo $1 $(ls -d "$d"/running.* | wc -l) >> "$d/notes"
sleep 0.2; rmdir "$d/running.$$"
case $4 in *big*) [ $1 -lt 2147483648 ] && { printf memory >&3; exit 0; };; esac
printf read >&3)"),
                           {kQuick.processorTime, kQuick.backstop, whole}, {2, whole});
    std::vector<fs::path> files;
    for (const char* name : {"1.nef", "2.nef", "3.nef", "big.nef", "4.nef", "5.nef", "6.nef"}) {
        files.push_back(folder() / name);
        std::ofstream(files.back()) << name;
        vetting.checkAhead(files.back());
    }
    for (const fs::path& file : files) EXPECT_EQ(vetting.verdict(file), Verdict::permitted);
    EXPECT_EQ(vetting.helperRuns(), files.size() + 1);

    std::ifstream in(folder() / "notes");
    std::map<std::uint64_t, std::vector<int>> together;
    std::uint64_t memory = 0;
    int running = 0;
    while (in >> memory >> running) together[memory].push_back(running);
    EXPECT_THAT(together[whole / 2], ::testing::Contains(2));
    EXPECT_THAT(together[whole / 2], ::testing::Each(::testing::Le(2)));
    EXPECT_THAT(together[whole], ::testing::ElementsAre(1));
}

// The helper takes a file through the bridge's steps under its limits: a Bayer file is unpacked
// but not developed (the program develops it from that read); LibRaw develops any other file.
TEST_F(RAWFileVettingTest, TheRealHelperRefusesAFileBeyondItsLimits) {
    const fs::path bayer = folder() / "bayer.dng", linear = folder() / "linear.dng";
    fixtures::writeSyntheticDNG(bayer, {.width = 3000, .height = 2000});  // 12 MB of samples
    fixtures::writeSyntheticDNG(linear, {.width = 1000, .height = 1000, .linearRaw = true});
    const RAWCheckLimits standard = RAWCheckLimits::standard();
    const auto memory = [&](std::uint64_t bytes) {
        return RAWCheckLimits{standard.processorTime, standard.backstop, bytes};
    };
    const RAWCheckBudget roomy{1, standard.memoryBytes};
    // Shares of 16 MiB, which the linear file needs more than.
    const RAWCheckBudget shared{64, std::uint64_t{1} << 30};
    const std::tuple<fs::path, RAWCheckLimits, RAWCheckBudget, Verdict, std::size_t> cases[] = {
        {bayer, standard, roomy, Verdict::permitted, 1},
        {bayer, memory(std::uint64_t{8} << 20), roomy, Verdict::exceededMemory, 1},
        {bayer, memory(std::uint64_t{24} << 20), roomy, Verdict::permitted, 1},
        // 6 MB of samples, but developed into an 8 MB image and a 6 MB copy of it.
        {linear, memory(std::uint64_t{24} << 20), roomy, Verdict::exceededMemory, 1},
        {linear, standard, roomy, Verdict::permitted, 1},
        {linear, memory(std::uint64_t{1} << 30), shared, Verdict::permitted, 2},
    };
    for (const auto& [file, limits, budget, verdict, runs] : cases) {
        RAWFileVetting vetting(RAWFileVetting::locateHelper(), limits, budget);
        EXPECT_EQ(vetting.verdict(file), verdict) << file << " " << limits.memoryBytes;
        EXPECT_EQ(vetting.helperRuns(), runs) << file << " " << limits.memoryBytes;
    }
}

// A parent that ignores SIGCHLD has the kernel reap its children: their ends cannot be read.
TEST_F(RAWFileVettingTest, AnEndThatCannotBeReadRefusesTheFile) {
    const fs::path bayer = folder() / "bayer.dng";
    fixtures::writeSyntheticDNG(bayer, {});
    RAWFileVetting crashing(helpers.running("kill -SEGV $$"), kQuick),
        exhausted(RAWFileVetting::locateHelper(), {kQuick.processorTime, kQuick.backstop, 1 << 20}),
        honest(helpers.running("printf read >&3"), kQuick);
    const auto inherited = signal(SIGCHLD, SIG_IGN);
    EXPECT_EQ(crashing.verdict(bayer), Verdict::notChecked);
    EXPECT_EQ(exhausted.verdict(bayer), Verdict::notChecked);
    EXPECT_EQ(honest.verdict(bayer), Verdict::notChecked);
    // A program started so takes SIGCHLD back, to read its helpers' ends.
    RAWFileVetting started(helpers.running("printf read >&3"), kQuick);
    EXPECT_EQ(started.verdict(bayer), Verdict::permitted);
    EXPECT_EQ(crashing.verdict(bayer), Verdict::crashed);
    signal(SIGCHLD, inherited);
}

TEST_F(RAWFileVettingTest, AMissingHelperIsAnErrorThatSaysWhereItShouldBe) {
    EXPECT_EQ(RAWFileVetting::locateHelper().filename(), "quillmere-raw-check");
    const fs::path missing = folder() / "elsewhere";
    const auto refused = [&] {
        setenv("QUILLMERE_RAW_CHECK", missing.c_str(), 1);
        return rawFileRefusal(photo()).value_or("").find(missing.string()) != std::string::npos;
    };
    // In a process of its own, which has not looked for the helper yet: a program without it
    // reads no RAW file unchecked.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(exit(refused() ? 0 : 1), ::testing::ExitedWithCode(0), "");
    setenv("QUILLMERE_RAW_CHECK", missing.c_str(), 1);
    EXPECT_THAT(
        [] { RAWFileVetting::locateHelper(); },
        ::testing::ThrowsMessage<RAWFileVettingError>(::testing::HasSubstr(missing.string())));
    unsetenv("QUILLMERE_RAW_CHECK");
}

}  // namespace
}  // namespace quillmere
