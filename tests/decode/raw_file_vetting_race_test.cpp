// The gate asked from many threads at once: built and run under ThreadSanitizer too.
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
    std::vector<fs::path> photos(int count) const {
        std::vector<fs::path> files;
        for (int index = 0; index < count; ++index) {
            files.push_back(helpers.folder.path() / (std::to_string(index) + ".nef"));
            std::ofstream(files.back()) << index;
        }
        return files;
    }
    // Every asker asks for every file (ahead, then now), in an order of its own.
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

TEST_F(RAWFileVettingRace, LimitsAndTimeVerdictsChangeWhileThreadsAsk) {
    RAWFileVetting vetting(helpers.running("printf read >&3"), kQuick);
    const std::vector<fs::path> files = photos(7);
    std::atomic<int> changes = 0;
    const int refused =
        askEverything(vetting, files, [&](RAWFileVetting& gate, const fs::path& file) {
            gate.forgetTimeVerdict(file);
            if (++changes % 3 == 0) gate.setLimits(kQuick);
        });
    EXPECT_EQ(refused, 0);
    // Each setLimits may cost every file another run, never more.
    EXPECT_GE(vetting.helperRuns(), files.size());
    EXPECT_LE(vetting.helperRuns(), files.size() * (kAskers * files.size() / 3 + 1));
}

}  // namespace
}  // namespace quillmere
