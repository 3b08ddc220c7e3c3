#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <thread>
#include <vector>

#include "core/reading/photo_reader.h"
#include "core/reading/wire.h"
#include "tests/reading/reading_test_support.h"

namespace quillmere {
namespace {

using Kind = ReadingError::Kind;
using reader_protocol::JobKind;
using testing::errorOf;
using testing::kRoomy;
using testing::kStandIn;
using testing::request;

class PhotoReaderRace : public testing::ReadingTest {};

TEST_F(PhotoReaderRace, ReadersBeyondTheMachinesCountWaitTheirTurn) {
    PhotoReader reader(kStandIn, {1, kRoomy.memoryBytes});
    const auto file = OpenedFile::open(photo());
    const std::filesystem::path word = fifo("word");
    auto waiting = std::async(std::launch::async, [&] {
        return reader.ask(*file, request("waitForWord " + word.string())).body;
    });
    // Opened once its job runs: it holds the one place.
    std::ofstream saying(word);
    auto next = std::async(std::launch::async, [&] { return reader.ask(*file, request("echo")); });
    while (reader.room().waiting() == 0 &&
           next.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        std::this_thread::yield();
    }
    EXPECT_EQ(reader.room().waiting(), 1u);
    saying << 'w';
    saying.close();
    EXPECT_EQ(waiting.get(), "w");
    EXPECT_EQ(next.get().body, "echo");
}

TEST_F(PhotoReaderRace, RequestsFromManyThreadsGetTheirOwnAnswersAndVerdicts) {
    PhotoReader reader(kStandIn, kRoomy);
    const auto file = OpenedFile::open(photo());
    std::vector<std::future<std::string>> answers;
    for (int index = 0; index < 8; ++index) {
        answers.push_back(std::async(std::launch::async, [&, index] {
            if (index % 2 == 0)
                return reader.ask(*file, request("echo " + std::to_string(index))).body;
            // Kept for its job, whatever the other job's requests meanwhile.
            return std::string(
                errorOf([&] { reader.ask(*file, request("crash", JobKind::rawSensor)); }).what());
        }));
    }
    for (int index = 0; index < 8; ++index) {
        EXPECT_EQ(answers[index].get(), index % 2 == 0
                                            ? "echo " + std::to_string(index)
                                            : "photo.raw could not be read: its reader crashed.");
    }

    // One session, asked from several threads at once: one request at a time.
    ReaderAnswer first;
    const auto session = reader.openSession(*OpenedFile::open(photo("other.raw")),
                                            request("session", JobKind::rawSensor), first);
    std::vector<std::future<std::uint32_t>> served;
    for (int index = 0; index < 4; ++index) {
        served.push_back(std::async(std::launch::async, [&] {
            const std::string body = session->ask(request("develop", JobKind::rawDevelop)).body;
            WireReader reader(body);
            reader.i32();
            return reader.u32();
        }));
    }
    std::vector<std::uint32_t> counts;
    for (auto& count : served) counts.push_back(count.get());
    std::sort(counts.begin(), counts.end());
    EXPECT_EQ(counts, (std::vector<std::uint32_t>{2, 3, 4, 5}));
}

}  // namespace
}  // namespace quillmere
