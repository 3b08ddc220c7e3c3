#include "app/state/follow/state_watcher.h"

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
    state.setZoomPercent(50);
    state.setZoomPercent(70);
    EXPECT_EQ(refreshes, 0) << "never within the state's own change";
    QCoreApplication::processEvents();
    state.setZoomPercent(10);  // there and back within one turn
    state.setZoomPercent(70);
    QCoreApplication::processEvents();
    state.setShowOriginal(true);  // not watched
    QCoreApplication::processEvents();
    EXPECT_EQ(refreshes, 2);
    EXPECT_EQ(changes, std::vector<double>{70});
}

}  // namespace
}  // namespace quillmere
