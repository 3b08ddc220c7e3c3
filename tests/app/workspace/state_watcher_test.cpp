#include "app/workspace/state_watcher.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include "tests/app/support/state_harness.h"

namespace quillmere {
namespace {

TEST(StateWatcher, ReactsOnTheNextTurnOnceAndOnChangeOnlyToARealChange) {
    testing::StateHarness harness;
    AppState& state = *harness.state;
    StateWatcher watcher(state, nullptr);
    int refreshes = 0;
    std::vector<double> changes;
    watcher.onAnnounced({AppState::Field::zoomPercent}, [&] { ++refreshes; });
    watcher.onChange(
        {AppState::Field::zoomPercent}, [&] { return state.zoomPercent(); },
        [&](double, double now) { changes.push_back(now); });
    // Each turn: the zoom set, then whether a refresh ran, and the changes seen so far.
    for (auto [zooms, refreshed, seen] :
         {std::tuple(std::vector{50.0, 70.0}, true, std::vector{70.0}),
          std::tuple(std::vector{10.0, 70.0}, true, std::vector{70.0}),  // there and back
          std::tuple(std::vector<double>{}, false, std::vector{70.0})}) {
        const int before = refreshes;
        for (double zoom : zooms) state.setZoomPercent(zoom);
        state.setShowOriginal(!state.showOriginal());  // not watched
        EXPECT_EQ(refreshes, before) << "never within the state's own change";
        QCoreApplication::processEvents();
        EXPECT_EQ(refreshes, before + (refreshed ? 1 : 0));
        EXPECT_EQ(changes, seen);
    }
}

}  // namespace
}  // namespace quillmere
