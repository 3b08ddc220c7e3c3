#include "app/workspace/state_watcher.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include "tests/app/support/state_harness.h"

namespace quillmere {
namespace {

TEST(StateWatcher, ReactsOncePerTurnAndOnChangeOnlyToARealChange) {
    testing::StateHarness harness;
    AppState& state = *harness.state;
    QObject view;
    StateWatcher watcher(state, &view);
    int refreshes = 0;
    std::vector<std::pair<double, double>> changes;
    watcher.onAnnounced({AppState::Field::zoomPercent, AppState::Field::isRendering},
                        [&] { ++refreshes; });
    watcher.onChange({AppState::Field::zoomPercent}, [&] { return state.zoomPercent(); },
                     [&](double previous, double current) { changes.emplace_back(previous, current); });

    state.setZoomPercent(50);
    state.setIsRendering(true);
    state.setZoomPercent(70);
    EXPECT_EQ(refreshes, 0) << "never within the state's own change";
    QCoreApplication::processEvents();
    EXPECT_EQ(refreshes, 1);
    EXPECT_EQ(changes, (std::vector<std::pair<double, double>>{{0, 70}}));

    // Back and forth within one turn is no change; an unwatched field is not seen.
    state.setZoomPercent(10);
    state.setZoomPercent(70);
    state.setShowOriginal(true);
    QCoreApplication::processEvents();
    EXPECT_EQ(refreshes, 2);
    EXPECT_EQ(changes.size(), 1u);
    state.setShowOriginal(false);
    QCoreApplication::processEvents();
    EXPECT_EQ(refreshes, 2);
}

}  // namespace
}  // namespace quillmere
