#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <future>
#include <thread>

#include "core/reading/photo_reader.h"
#include "core/reading/wire.h"
#include "tests/reading/reading_test_support.h"

namespace quillmere {
namespace {

namespace fs = std::filesystem;
using Kind = ReadingError::Kind;
using reader_protocol::JobKind;
using testing::errorOf;
using testing::kRoomy;
using testing::kStandIn;
using testing::request;

// The process and request count the stand-in's session job answers.
std::pair<std::int32_t, std::uint32_t> servedBy(const ReaderAnswer& answer) {
    WireReader body(answer.body);
    const std::int32_t process = body.i32();
    const std::uint32_t served = body.u32();
    body.finish();
    return {process, served};
}

class ReaderSessionTest : public testing::ReadingTest {};

TEST_F(ReaderSessionTest, OneReaderAnswersTheFollowUpsItTakesWhicheverThreadOpenedIt) {
    PhotoReader reader(kStandIn, kRoomy);
    const auto file = OpenedFile::open(photo());
    ReaderAnswer first;
    std::unique_ptr<ReaderSession> session;
    // Opened on a thread that is gone before the follow-ups: the session's reader is not its.
    std::thread([&] {
        session = reader.openSession(*file, request("session", JobKind::rawSensor), first);
    }).join();
    const auto [process, served] = servedBy(first);
    EXPECT_EQ(served, 1u);
    for (const std::uint32_t count : {2u, 3u}) {
        EXPECT_EQ(servedBy(session->ask(request("develop", JobKind::rawDevelop))),
                  std::make_pair(process, count));
    }
    EXPECT_EQ(reader.readersStarted(), 1u);
}

TEST_F(ReaderSessionTest, ASessionWhoseReaderEndedAnswersNoMore) {
    PhotoReader reader(kStandIn, kRoomy);
    const auto file = OpenedFile::open(photo());
    ReaderAnswer first;
    // A follow-up that crashes its reader; one that claims more memory than its session did
    // first, or claims memory at all (no claim), or of a kind the session does not take.
    const struct {
        const char* params;
        JobKind kind;
        Kind ends;
    } enders[] = {{"crash", JobKind::rawDevelop, Kind::crashed},
                  {"claimMore", JobKind::rawDevelop, Kind::exceededMemory},
                  {"rawClaim 5", JobKind::rawDevelop, Kind::notRead},
                  {"develop", JobKind::metadata, Kind::notRead}};
    for (const auto& [params, kind, ends] : enders) {
        const auto session = reader.openSession(*OpenedFile::open(photo(params)),
                                                request("session", JobKind::rawSensor), first);
        EXPECT_EQ(errorOf([&] { session->ask(request(params, kind)); }).kind(), ends) << params;
        EXPECT_EQ(errorOf([&] { session->ask(request("develop", JobKind::rawDevelop)); }).kind(),
                  Kind::notRead)
            << params;
    }
    EXPECT_EQ(reader.readersStarted(), 4u);
    // The crash is the file's: a new session's follow-up fails at once.
    const auto again = reader.openSession(*OpenedFile::open(folder.path() / "crash"),
                                          request("session", JobKind::rawSensor), first);
    EXPECT_EQ(errorOf([&] { again->ask(request("develop", JobKind::rawDevelop)); }).kind(),
              Kind::crashed);
    EXPECT_EQ(reader.readersStarted(), 5u);
    // A first request refused opens no session.
    EXPECT_EQ(errorOf([&] {
                  reader.openSession(*file, request("refuseClaim", JobKind::rawSensor), first);
              }).kind(),
              Kind::refused);
}

TEST_F(ReaderSessionTest, ASessionHoldsItsPlaceAndMemoryInTheRoomOnlyWhileARequestIsWorked) {
    // One place; each of the stand-in's claims is 80 MiB with the claim phase's: two do not fit
    // in 150.
    PhotoReader reader(kStandIn, {1, std::uint64_t{150} << 20});
    const auto file = OpenedFile::open(photo());
    ReaderAnswer first;
    auto session = reader.openSession(*file, request("session", JobKind::rawSensor), first);
    // Idle, the session holds nothing: another photo's reader is not kept waiting for it.
    EXPECT_EQ(reader.ask(*file, request("echo idle")).body, "echo idle");

    // At work on a follow-up, it holds the one place and its memory.
    const fs::path word = fifo("word");
    auto developing = std::async(std::launch::async, [&] {
        return session->ask(request("waitForWord " + word.string(), JobKind::rawDevelop)).body;
    });
    // Opened once the follow-up runs, admitted.
    std::ofstream saying(word);
    auto asked =
        std::async(std::launch::async, [&] { return reader.ask(*file, request("echo done")); });
    while (reader.room().waiting() == 0 &&
           asked.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        std::this_thread::yield();
    }
    EXPECT_EQ(reader.room().waiting(), 1u);
    saying << 'w';
    saying.close();
    EXPECT_EQ(developing.get(), "w");
    EXPECT_EQ(asked.get().body, "echo done");
}

}  // namespace
}  // namespace quillmere
