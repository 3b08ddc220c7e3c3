// A RAW file's developments asked from several threads at once, when its reader has ended: one of
// them finds it ended, and the rest share the one reader started again. Run under ThreadSanitizer
// by scripts/test-races.
#include <gtest/gtest.h>
#include <signal.h>

#include <latch>
#include <thread>
#include <vector>

#include "core/decode/raw_file.h"
#include "tests/decode/decode_test_support.h"
#include "tests/fixtures/synthetic_dng.h"
#include "tests/fixtures/temporary_folder.h"

namespace quillmere {
namespace {

TEST(RAWFileRace, DevelopmentsFromSeveralThreadsStartOneReaderAgain) {
    testing::TemporaryFolder folder;
    const std::filesystem::path path = folder.path() / "photo.dng";
    fixtures::writeSyntheticDNG(path, {});
    PhotoReader reader(PhotoReader::locate(), ReaderRoom::Budget::ofMachine());
    const RAWFile file(path, reader);
    const std::vector<std::byte> developed = testing::readBytes(*file.develop());
    const std::vector<pid_t> readers = testing::readersOfThisProcess();
    ASSERT_EQ(readers.size(), 1u);
    ::kill(readers.front(), SIGKILL);

    constexpr int kThreads = 4;
    std::latch start(kThreads);
    std::vector<std::vector<std::byte>> results(kThreads);
    std::vector<int> notRead(kThreads, 0);
    {
        std::vector<std::jthread> threads;
        for (int index = 0; index < kThreads; ++index) {
            threads.emplace_back([&, index] {
                start.arrive_and_wait();
                try {
                    results[index] = testing::readBytes(*file.develop());
                } catch (const ReadingError& error) {
                    notRead[index] = error.kind() == ReadingError::Kind::notRead;
                }
            });
        }
    }
    int ended = 0;
    for (int index = 0; index < kThreads; ++index) {
        ended += notRead[index];
        if (!notRead[index]) {
            EXPECT_EQ(results[index], developed) << index;
        }
    }
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(reader.readersStarted(), 2u);
}

}  // namespace
}  // namespace quillmere
