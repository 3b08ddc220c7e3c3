#include "core/decode/raw_file_vetting.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
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

const RAWCheckLimits kRoomy{10s, std::uint64_t{1} << 30};

class RAWFileVettingTest : public ::testing::Test {
  protected:
    // A stand-in helper: a shell script running `body`, which each run first notes in runs.log.
    fs::path helperRunning(const std::string& body) {
        const fs::path script = folder.path() / ("helper" + std::to_string(++helpers));
        std::ofstream(script) << "#!/bin/sh\necho run >> '" << runLog().string() << "'\n"
                              << body << '\n';
        fs::permissions(script, fs::perms::owner_all);
        return script;
    }
    fs::path runLog() const { return folder.path() / "runs.log"; }
    int runsLogged() const {
        std::ifstream log(runLog());
        return static_cast<int>(std::count(std::istreambuf_iterator<char>(log), {}, '\n'));
    }
    fs::path photo(const std::string& name, const std::string& bytes = "RAW") const {
        std::ofstream(folder.path() / name, std::ios::binary) << bytes;
        return folder.path() / name;
    }

    testing::TemporaryFolder folder;
    int helpers = 0;
};

TEST_F(RAWFileVettingTest, OnlyAHelperThatGotThroughPermitsTheFile) {
    const struct {
        const char* body;
        Verdict verdict;
        const char* refusal;
    } cases[] = {
        {"exit 0", Verdict::permitted, ""},
        {"kill -SEGV $$", Verdict::crashed, "LibRaw crashed while reading a.nef."},
        {"kill -XCPU $$", Verdict::timedOut, "LibRaw did not finish reading a.nef in time."},
        {"exec sleep 20", Verdict::timedOut, "LibRaw did not finish reading a.nef in time."},
        {"exit 3", Verdict::exceededMemory,
         "Reading a.nef took LibRaw more memory than it may use."},
        {"exit 2", Verdict::notChecked, "a.nef could not be checked before reading it."},
    };
    const fs::path file = photo("a.nef");
    for (const auto& [body, verdict, refusal] : cases) {
        SCOPED_TRACE(body);
        RAWFileVetting vetting(helperRunning(body), {2s, kRoomy.memoryBytes});
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(vetting.verdict(file), verdict);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
        EXPECT_EQ(vetting.refusal(file).value_or(""), refusal);
    }
    // No helper at all refuses, and so does one the program cannot start.
    RAWFileVetting missing(folder.path() / "none", kRoomy);
    EXPECT_EQ(missing.verdict(file), Verdict::notChecked);
    // A file that is not there is LibRaw's to refuse: nothing is started.
    RAWFileVetting unused(helperRunning("exit 3"), kRoomy);
    EXPECT_EQ(unused.verdict(folder.path() / "gone.nef"), Verdict::permitted);
    EXPECT_EQ(unused.helperRuns(), 0u);
}

TEST_F(RAWFileVettingTest, EachVersionOfAFileIsCheckedOnceHoweverManyAskAtOnce) {
    RAWFileVetting vetting(helperRunning("sleep 0.3"), kRoomy);
    const fs::path file = photo("a.dng");
    std::vector<std::thread> askers;
    std::vector<Verdict> verdicts(8, Verdict::notChecked);
    for (Verdict& verdict : verdicts) {
        askers.emplace_back([&] { verdict = vetting.verdict(file); });
    }
    for (std::thread& asker : askers) asker.join();
    EXPECT_EQ(verdicts, std::vector<Verdict>(8, Verdict::permitted));
    EXPECT_EQ(vetting.verdict(file), Verdict::permitted);
    EXPECT_EQ(runsLogged(), 1);
    EXPECT_EQ(vetting.helperRuns(), 1u);

    // Another size, then another modification time: each a new version, checked again.
    photo("a.dng", "RAW!");
    vetting.verdict(file);
    fs::last_write_time(file, fs::last_write_time(file) - 1h);
    vetting.verdict(file);
    EXPECT_EQ(runsLogged(), 3);
    // Other limits forget every verdict.
    vetting.setLimits({9s, kRoomy.memoryBytes});
    vetting.verdict(file);
    EXPECT_EQ(runsLogged(), 4);
}

TEST_F(RAWFileVettingTest, AFileNotCheckedIsCheckedAgainWhenNextAsked) {
    RAWFileVetting vetting(helperRunning("exit 2"), kRoomy);
    const fs::path file = photo("a.dng");
    EXPECT_EQ(vetting.verdict(file), Verdict::notChecked);
    EXPECT_EQ(vetting.verdict(file), Verdict::notChecked);
    EXPECT_EQ(runsLogged(), 2);
    // A file that changes while it is checked is not permitted on the old version's verdict.
    RAWFileVetting changing(helperRunning("echo more >> \"$3\""), kRoomy);
    EXPECT_EQ(changing.verdict(file), Verdict::notChecked);
}

TEST_F(RAWFileVettingTest, TheRealHelperRefusesAFileBeyondItsLimits) {
    const fs::path helper = RAWFileVetting::locateHelper();
    const fs::path file = folder.path() / "large.dng";
    fixtures::SyntheticDNGOptions large;
    large.width = 3000;
    large.height = 2000;  // 12 MB of sensor samples
    fixtures::writeSyntheticDNG(file, large);
    const std::pair<RAWCheckLimits, Verdict> cases[] = {
        {RAWCheckLimits::standard(), Verdict::permitted},
        {{1ms, RAWCheckLimits::standard().memoryBytes}, Verdict::timedOut},
        {{30s, std::uint64_t{8} << 20}, Verdict::exceededMemory},
    };
    for (const auto& [limits, verdict] : cases) {
        EXPECT_EQ(RAWFileVetting(helper, limits).verdict(file), verdict);
    }
}

TEST_F(RAWFileVettingTest, AMissingHelperIsAnErrorThatSaysWhereItShouldBe) {
    // The build's own helper is found where the build makes it.
    EXPECT_EQ(RAWFileVetting::locateHelper().filename(), "quillmere-raw-check");
    const fs::path named = folder.path() / "elsewhere" / "quillmere-raw-check";
    ASSERT_EQ(setenv("QUILLMERE_RAW_CHECK", named.c_str(), 1), 0);
    try {
        RAWFileVetting::locateHelper();
        ADD_FAILURE() << "a missing helper was found";
    } catch (const RAWFileVettingError& missing) {
        EXPECT_NE(std::string(missing.what()).find(named.string()), std::string::npos);
    }
    const fs::path stub = helperRunning("exit 0");
    ASSERT_EQ(setenv("QUILLMERE_RAW_CHECK", stub.c_str(), 1), 0);
    EXPECT_EQ(RAWFileVetting::locateHelper(), stub);
    unsetenv("QUILLMERE_RAW_CHECK");
}

}  // namespace
}  // namespace quillmere
