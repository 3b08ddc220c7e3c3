// The gate asked from many threads at once (run under ThreadSanitizer too).
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <thread>
#include <vector>

#include "core/decode/raw_file_vetting.h"
#include "tests/decode/fake_raw_check_helper.h"

namespace quillmere {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Verdict = RAWFileVetting::Verdict;

const RAWCheckLimits kQuick{1s, 5s, std::uint64_t{1} << 30};
constexpr int kAskers = 8;

class RAWFileVettingRace : public ::testing::Test {
  protected:
    // Files of their own; a prime count above kAskers has every asker visit them all.
    std::vector<fs::path> photos(int count) const {
        std::vector<fs::path> files;
        for (int index = 0; index < count; ++index) {
            files.push_back(helpers.folder.path() / (std::to_string(index) + ".nef"));
            std::ofstream(files.back()) << index;
        }
        return files;
    }
    // Every asker asks for every file (ahead, then now), in an order of its own; returns how
    // many answers were not "permitted".
    template <class Meanwhile>
    int askEverything(RAWFileVetting& vetting, const std::vector<fs::path>& files,
                      Meanwhile meanwhile) {
        std::atomic<int> notPermitted = 0;
        std::vector<std::jthread> askers;
        for (int asker = 0; asker < kAskers; ++asker) {
            askers.emplace_back([&, asker] {
                for (std::size_t index = 0; index < files.size(); ++index) {
                    const fs::path& file = files[(index * (asker + 1)) % files.size()];
                    vetting.checkAhead(file);
                    if (vetting.verdict(file) != Verdict::permitted) ++notPermitted;
                    meanwhile(vetting, file);
                }
            });
        }
        askers.clear();
        return notPermitted;
    }

    testing::FakeRAWCheckHelpers helpers;
};

TEST_F(RAWFileVettingRace, EachFileIsCheckedOnceHoweverManyThreadsAsk) {
    RAWFileVetting vetting(helpers.running("printf read >&3"), kQuick);
    const std::vector<fs::path> files = photos(13);
    EXPECT_EQ(askEverything(vetting, files, [](RAWFileVetting&, const fs::path&) {}), 0);
    EXPECT_EQ(vetting.helperRuns(), files.size());
    EXPECT_EQ(helpers.runs(), static_cast<long>(files.size()));
}

// Every development handed back is kept as its check ends and taken by one asker alone, while
// other checks keep theirs (the stand-in hands back a half-size and a full development).
TEST_F(RAWFileVettingRace, EachDevelopmentHandedBackIsTakenOnce) {
    RAWFileVetting vetting(
        helpers.running("exec '" QUILLMERE_FAKE_DEVELOPMENT_HELPER "' honest \"$@\""), kQuick);
    const std::vector<fs::path> files = photos(13);
    std::atomic<std::size_t> taken = 0;
    EXPECT_EQ(askEverything(vetting, files,
                            [&](RAWFileVetting& gate, const fs::path& file) {
                                for (const auto kind : {HandedBackDevelopment::Kind::half,
                                                        HandedBackDevelopment::Kind::full}) {
                                    if (gate.takeDevelopment(file, kind)) ++taken;
                                }
                            }),
              0);
    EXPECT_EQ(taken, 2 * files.size());
}

// 3.nef runs out of processor time.
TEST_F(RAWFileVettingRace, LimitsAndTimeVerdictsChangeWhileThreadsAsk) {
    RAWFileVetting vetting(helpers.running("case $4 in *3.nef) kill -XCPU $$;; esac\n"
                                           "printf read >&3"),
                           kQuick);
    const std::vector<fs::path> files = photos(11);
    std::atomic<int> limitsSet = 0;
    const int refused =
        askEverything(vetting, files, [&](RAWFileVetting& gate, const fs::path& file) {
            gate.forgetTimeVerdict(file);
            if (file.filename() == "0.nef") {
                gate.setLimits(kQuick);
                ++limitsSet;
            }
        });
    EXPECT_EQ(refused, kAskers);
    // New limits may cost every file another run, a forgotten time verdict one more run.
    EXPECT_GE(vetting.helperRuns(), files.size());
    EXPECT_LE(vetting.helperRuns(), files.size() * (limitsSet + 1) + kAskers);
}

}  // namespace
}  // namespace quillmere
