#include "core/decode/raw_file_vetting.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "tests/fixtures/synthetic_dng.h"
#include "tests/fixtures/temporary_folder.h"

namespace quillmere {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Verdict = RAWFileVetting::Verdict;

const RAWCheckLimits kRoomy{2s, std::uint64_t{1} << 30};

class RAWFileVettingTest : public ::testing::Test {
  protected:
    // A stand-in helper: a shell script that notes each run in runs.log, then runs `body`.
    fs::path helperRunning(const std::string& body) {
        const fs::path script = folder.path() / ("helper" + std::to_string(++helpers));
        std::ofstream(script) << "#!/bin/sh\necho >> '" << log().string() << "'\n" << body;
        fs::permissions(script, fs::perms::owner_all);
        return script;
    }
    fs::path log() const { return folder.path() / "runs.log"; }
    long runs() const {
        std::ifstream in(log());
        return std::count(std::istreambuf_iterator<char>(in), {}, '\n');
    }
    fs::path photo(const std::string& bytes = "RAW") const {
        std::ofstream(folder.path() / "a.nef") << bytes;
        return folder.path() / "a.nef";
    }

    testing::TemporaryFolder folder;
    int helpers = 0;
};

TEST_F(RAWFileVettingTest, OnlyAHelperThatGotThroughPermitsTheFile) {
    const std::tuple<const char*, Verdict, const char*> cases[] = {
        {"exit 0", Verdict::permitted, ""},
        {"kill -SEGV $$", Verdict::crashed, "LibRaw crashed while reading a.nef."},
        {"kill -XCPU $$", Verdict::timedOut, "LibRaw did not finish reading a.nef in time."},
        {"exec sleep 20", Verdict::timedOut, "LibRaw did not finish reading a.nef in time."},
        {"exit 3", Verdict::exceededMemory,
         "Reading a.nef took LibRaw more memory than it may use."},
        {"exit 2", Verdict::notChecked, "a.nef could not be checked before reading it."},
        // The file changes while it is checked: the old version's verdict is not the new one's.
        {"echo more >> \"$3\"", Verdict::notChecked,
         "a.nef could not be checked before reading it."},
    };
    const fs::path file = photo();
    for (const auto& [body, verdict, refusal] : cases) {
        SCOPED_TRACE(body);
        RAWFileVetting vetting(helperRunning(body), kRoomy);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(vetting.verdict(file), verdict);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
        EXPECT_EQ(vetting.refusal(file).value_or(""), refusal);
    }
    // A helper that cannot be started refuses; a file that is not there is LibRaw's to refuse.
    EXPECT_EQ(RAWFileVetting(folder.path() / "none", kRoomy).verdict(file), Verdict::notChecked);
    EXPECT_EQ(RAWFileVetting(folder.path() / "none", kRoomy).verdict(folder.path() / "gone.nef"),
              Verdict::permitted);
}

TEST_F(RAWFileVettingTest, EachVersionOfAFileIsCheckedOnceHoweverManyAskAtOnce) {
    RAWFileVetting vetting(helperRunning("sleep 0.3"), kRoomy);
    const fs::path file = photo();
    std::vector<Verdict> verdicts(8, Verdict::notChecked);
    std::vector<std::thread> askers;
    for (Verdict& verdict : verdicts) askers.emplace_back([&] { verdict = vetting.verdict(file); });
    for (std::thread& asker : askers) asker.join();
    EXPECT_EQ(verdicts, std::vector<Verdict>(8, Verdict::permitted));
    vetting.verdict(file);
    EXPECT_EQ(runs(), 1);
    // Another size, another modification time, other limits: each checked again.
    photo("RAW!");
    vetting.verdict(file);
    fs::last_write_time(file, fs::last_write_time(file) - 1h);
    vetting.verdict(file);
    vetting.setLimits({9s, kRoomy.memoryBytes});
    vetting.verdict(file);
    EXPECT_EQ(runs(), 4);
    // A file that could not be checked is checked again when next asked.
    RAWFileVetting unchecked(helperRunning("exit 2"), kRoomy);
    unchecked.verdict(file);
    unchecked.verdict(file);
    EXPECT_EQ(runs(), 6);
}

// The helper takes a file through the bridge's steps under its limits: a Bayer file is unpacked
// but not developed (the program develops it from that read); LibRaw develops any other file.
TEST_F(RAWFileVettingTest, TheRealHelperRefusesAFileBeyondItsLimits) {
    const fs::path bayer = folder.path() / "bayer.dng", linear = folder.path() / "linear.dng";
    fixtures::writeSyntheticDNG(bayer, {.width = 3000, .height = 2000});  // 12 MB of samples
    fixtures::writeSyntheticDNG(linear, {.width = 1000, .height = 1000, .linearRaw = true});
    const RAWCheckLimits standard = RAWCheckLimits::standard();
    const RAWCheckLimits tight{standard.deadline, std::uint64_t{24} << 20};
    const std::tuple<fs::path, RAWCheckLimits, Verdict> cases[] = {
        {bayer, standard, Verdict::permitted},
        {bayer, {1ms, standard.memoryBytes}, Verdict::timedOut},
        {bayer, {standard.deadline, std::uint64_t{8} << 20}, Verdict::exceededMemory},
        {bayer, tight, Verdict::permitted},
        // 6 MB of samples, but developed into an 8 MB image and a 6 MB copy of it.
        {linear, tight, Verdict::exceededMemory},
        {linear, standard, Verdict::permitted},
    };
    for (const auto& [file, limits, verdict] : cases) {
        EXPECT_EQ(RAWFileVetting(RAWFileVetting::locateHelper(), limits).verdict(file), verdict)
            << file << " " << limits.memoryBytes;
    }
}

TEST_F(RAWFileVettingTest, AMissingHelperIsAnErrorThatSaysWhereItShouldBe) {
    EXPECT_EQ(RAWFileVetting::locateHelper().filename(), "quillmere-raw-check");
    const fs::path missing = folder.path() / "elsewhere";
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
