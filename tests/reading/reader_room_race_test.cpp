#include <gtest/gtest.h>

#include <future>
#include <thread>
#include <vector>

#include "core/reading/reader_room.h"

namespace quillmere {
namespace {

using Ticket = ReaderRoom::Ticket;

// A reader waiting for room on a thread of its own, its ticket kept until it is let go.
struct Waiter {
    Waiter(ReaderRoom& room, std::uint64_t memory, std::stop_token stop = {})
        : entered(std::async(std::launch::async,
                             [&room, memory, stop] { return room.enter(memory, stop); })) {}
    bool admitted() const {
        return entered.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    }
    std::future<Ticket> entered;
};

// Waits until `count` wait in the room, or `done` is admitted meanwhile (a room that should
// have held it did not).
void awaitWaiting(const ReaderRoom& room, std::size_t count, const Waiter& done) {
    while (room.waiting() < count && !done.admitted()) std::this_thread::yield();
}

TEST(ReaderRoomRace, ReadersAreAdmittedInTurnWithinTheirCountAndMemory) {
    ReaderRoom room({2, 100});
    Ticket first = room.enter(60, {});
    // 60 more do not fit beside 60; 10 would, but waits its turn behind them.
    Waiter large(room, 60);
    awaitWaiting(room, 1, large);
    // A room that let it in fails here: the wait for two waiting below would never end.
    ASSERT_FALSE(large.admitted());
    Waiter small(room, 10);
    awaitWaiting(room, 2, small);
    EXPECT_FALSE(small.admitted());
    first = Ticket();
    Ticket largeTicket = large.entered.get();
    Ticket smallTicket = small.entered.get();
    EXPECT_TRUE(largeTicket && smallTicket);

    // Two readers at most, however little they claim.
    Waiter third(room, 1);
    awaitWaiting(room, 1, third);
    EXPECT_FALSE(third.admitted());
    smallTicket = Ticket();
    EXPECT_TRUE(third.entered.get());
}

TEST(ReaderRoomRace, AClaimOfTheWholeBudgetOrMoreRunsAlone) {
    ReaderRoom room({4, 100});
    for (const std::uint64_t whole : {100, 1000}) {
        Ticket held = room.enter(1, {});
        Waiter alone(room, whole);
        awaitWaiting(room, 1, alone);
        EXPECT_FALSE(alone.admitted()) << whole;
        held = Ticket();
        Ticket aloneTicket = alone.entered.get();
        ASSERT_TRUE(aloneTicket);
        Waiter after(room, 1);
        awaitWaiting(room, 1, after);
        EXPECT_FALSE(after.admitted()) << whole;
        aloneTicket = Ticket();
        EXPECT_TRUE(after.entered.get());
    }
}

TEST(ReaderRoomRace, AWaitStoppedLeavesItsTurnToTheNext) {
    ReaderRoom room({2, 100});
    const Ticket held = room.enter(60, {});
    std::stop_source stopping;
    Waiter stopped(room, 60, stopping.get_token());
    awaitWaiting(room, 1, stopped);
    Waiter next(room, 10);
    awaitWaiting(room, 2, next);
    EXPECT_FALSE(next.admitted());
    stopping.request_stop();
    EXPECT_FALSE(stopped.entered.get());
    EXPECT_TRUE(next.entered.get());
    EXPECT_FALSE(room.enter(1, stopping.get_token()));
}

}  // namespace
}  // namespace quillmere
