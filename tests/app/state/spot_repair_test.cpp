#include <gtest/gtest.h>

#include "tests/app/support/app_state_testing.h"
#include "tests/app/support/state_harness.h"

namespace quillmere {
namespace {

using Point = SpotRepair::Point;

// The scripted photo is 3000 × 2000; the brush of 60 pixels has the radius 60 / (2 · 2000), so
// a drag keeps points 0.15 · 15 = 4.5 pixels apart.
class SpotRepairs : public ::testing::Test {
  protected:
    SpotRepairs() {
        harness.showPhoto("/photos/a.dng");
        state.toggleSpotRepair();
    }
    void click(double x, double y) {
        state.beginSpotRepairStroke({x, y});
        state.endSpotRepairStroke(Point{x, y});
    }

    testing::StateHarness harness;
    AppState& state = *harness.state;
};

TEST_F(SpotRepairs, StrokesKeepPointsSpacedInPhotoPixels) {
    click(0.5, 0.25);
    EXPECT_EQ(state.editParams().spotRepairs.at(0).path, std::vector<Point>{});
    EXPECT_EQ(state.editParams().spotRepairs.at(0).radius, 60.0 / 4000);
    state.beginSpotRepairStroke({0.5, 0.5});
    state.extendSpotRepairStroke({0.5 + 4.4 / 3000, 0.5}, false);
    state.extendSpotRepairStroke({0.5, 0.5 + 4.4 / 2000}, false);
    state.extendSpotRepairStroke({1.2, 0.5}, true);
    state.extendSpotRepairStroke({0.5, 0.5 + 4.6 / 2000}, false);
    // The end point counts whenever it moved.
    state.endSpotRepairStroke(Point{0.5, 0.5 + 4.7 / 2000});
    EXPECT_EQ(state.editParams().spotRepairs.at(1).path,
              (std::vector<Point>{{0.5, 0.5 + 4.6 / 2000}, {0.5, 0.5 + 4.7 / 2000}}));
    state.beginSpotRepairStroke({-0.01, 0.5});
    EXPECT_EQ(state.spotRepairDraft(), std::nullopt);
}

TEST_F(SpotRepairs, UndoHistoryIsBoundedAndAStrokeInProgressComesFirst) {
    click(0.5, 0.5);
    state.undoSpotRepair();
    // Committing the list there is changes neither stack.
    state.resetEditLayer(EditLayer::spotRepair);
    EXPECT_EQ(state.spotUndoStack().size() * 10 + state.spotRedoStack().size(), 1u);
    state.redoSpotRepair();
    for (int stroke = 1; stroke < 101; ++stroke) click(0.5, 0.5);
    EXPECT_EQ(state.spotUndoStack().size(), 100u);
    EXPECT_EQ(state.spotUndoStack().front().size(), 1u);

    state.undoSpotRepair();
    state.beginSpotRepairStroke({0.2, 0.2});
    EXPECT_TRUE(state.canUndoSpotRepair() && !state.canRedoSpotRepair());
    state.redoSpotRepair();
    state.undoSpotRepair();
    EXPECT_EQ(state.spotRepairDraft(), std::nullopt);
    EXPECT_EQ(state.editParams().spotRepairs.size(), 100u);
    state.resetEditLayer(EditLayer::spotRepair);
    EXPECT_TRUE(state.spotRedoStack().empty());
}

TEST_F(SpotRepairs, StrokesEndingElsewhereAreDroppedAndTheBrushStaysInRange) {
    state.beginSpotRepairStroke({0.5, 0.5});
    state.resizeSpotRepair(2);
    EXPECT_EQ(state.spotRepairDiameter(), 60);
    AppStateTesting::setOpening(state, true);
    state.endSpotRepairStroke();
    AppStateTesting::setOpening(state, false);
    state.beginSpotRepairStroke({0.5, 0.5});
    AppStateTesting::showPhoto(
        state, OpenedPhoto(PhotoID{"/b.dng"}, 10, 4000, 0, 0, {}, DenoiseBackend::standard, true),
        EditParams{}, EditParams{});
    state.endSpotRepairStroke(Point{0.6, 0.5});
    EXPECT_TRUE(state.spotUndoStack().empty());

    EXPECT_EQ(state.spotRepairDiameterRange(), (AppState::DiameterRange{1, 1.5}));
    state.resizeSpotRepair(1);
    EXPECT_EQ(state.spotRepairDiameter(), 1.5);
    state.resizeSpotRepair(0);
    EXPECT_EQ(state.spotRepairDiameter(), 1);
    EXPECT_EQ(testing::StateHarness().state->spotRepairDiameterRange(),
              (AppState::DiameterRange{2, 300}));
}

}  // namespace
}  // namespace quillmere
