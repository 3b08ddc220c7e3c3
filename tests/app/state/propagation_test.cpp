#include <gtest/gtest.h>

#include "tests/app/support/state_harness.h"

namespace quillmere {
namespace {

const std::filesystem::path kOpen = "/photos/open.dng";
const std::filesystem::path kCached = "/photos/cached.dng";
const std::filesystem::path kNeverOpened = "/photos/never.dng";

// Three photos selected: the open one, one opened before with its own white balance, spot
// repairs and markers, and one never opened.
class Propagation : public testing::StateTest {
  protected:
    Propagation() {
        harness.showPhoto(kOpen);
        AppStateTesting::addSessionPhotos(state, {kCached, kNeverOpened});
        cachedEdit.spotRepairs = {SpotRepair(UUID::random(), 0.3, 0.3, 0.01, {})};
        cached().params = cached().baseline = cachedEdit;
        cached().activeCheckpointID = UUID::random();
        cached().presetID = "Film/Warm";
        AppStateTesting::select(state, {kOpen, kCached, kNeverOpened});
    }
    PhotoSessionState& cached() { return AppStateTesting::sessionState(state, kCached); }
    std::vector<bool> edited() {
        std::vector<bool> marks;
        for (const SessionPhoto& photo : state.sessionPhotos()) marks.push_back(photo.isEdited);
        return marks;
    }

    EditParams cachedEdit = EditParams::neutral(6000, 10);
};

TEST_F(Propagation, EachStepChangesOnlyItsSettingAndPlainStepsMergeWhilePending) {
    state.updateEditParams([](EditParams& edit) { edit.exposure = 0.7; });
    EditParams expected = cachedEdit;
    expected.exposure = 0.7;
    // The markers went, the rest stayed.
    PhotoSessionState unmarked;
    unmarked.params = expected;
    unmarked.baseline = cachedEdit;
    EXPECT_EQ(cached(), unmarked);
    EXPECT_EQ(edited(), (std::vector{true, true, true}));
    for (int step = 1; step <= 10; ++step) {
        state.updateEditParams([step](EditParams& edit) {
            edit.exposure = step * 0.1;
            if (step == 3) edit.vibrance = 20;
        });
    }
    EXPECT_EQ(state.pendingSelectionEdits().at(kNeverOpened),
              std::vector{(PresetValues{.exposure = 1.0, .vibrance = 20})});
    // Back at its own baseline values the cached photo is no longer edited.
    state.updateEditParams([](EditParams& edit) { edit = EditParams{}; });
    EXPECT_EQ(edited(), (std::vector{false, false, true}));
}

TEST_F(Propagation, NothingTravelsFromAnUnselectedPhotoOrForUncarriableChanges) {
    state.updateEditParams([](EditParams& edit) {
        edit.spotRepairs = {SpotRepair(UUID::random(), 0.5, 0.5, 0.02, {})};
        edit.visualizeBandIndex = 2;
    });
    EXPECT_TRUE(cached().presetID);
    AppStateTesting::select(state, {kCached, kNeverOpened});
    state.updateEditParams([](EditParams& edit) { edit.exposure = 1; });
    EXPECT_EQ(cached().params, cachedEdit);
    EXPECT_TRUE(state.pendingSelectionEdits().empty());
    // The open photo's own mark still follows its edit.
    EXPECT_EQ(edited(), (std::vector{true, false, false}));
}

// The changes a never-opened photo collected are its edit when it first opens, replayed in order:
// the relative white balance acts on the photo's own as-shot 4300 K, between the plain moves.
TEST_F(Propagation, ANeverOpenedPhotoOpensWithWhatItCollected) {
    state.updateEditParams([](EditParams& edit) { edit.exposure = 0.7; });
    state.applyPreset({"Warm", "Film", {.temperatureScale = 1.1}});
    state.updateEditParams([](EditParams& edit) { edit.contrast = 20; });
    ASSERT_EQ(state.pendingSelectionEdits().at(kNeverOpened).size(), 3u);

    harness.open(kNeverOpened);
    EditParams expected = EditParams::neutral(4300, 7);
    expected.sharpening = SharpeningSettings::classic();
    expected.exposure = 0.7;
    expected.temperature = 4300 * 1.1;
    expected.contrast = 20;
    EXPECT_EQ(state.editParams(), expected);
    EXPECT_TRUE(state.pendingSelectionEdits().empty());
}

// Restoring a checkpoint is the open photo's own step back: the other selected photos keep their
// edits and markers, and the next plain change travels again.
TEST_F(Propagation, RestoringACheckpointStaysOnTheOpenPhoto) {
    EditCheckpoint checkpoint{UUID::random(), "Bright", {}, testing::exposed(2)};
    checkpoint.params.tint = 30;
    state.restoreCheckpoint(checkpoint);
    EXPECT_EQ(state.editParams().exposure, 2);
    EXPECT_EQ(cached().params, cachedEdit);
    EXPECT_EQ(cached().presetID, "Film/Warm");
    EXPECT_TRUE(state.pendingSelectionEdits().empty());
    EXPECT_EQ(edited(), (std::vector{true, false, false}));

    state.updateEditParams([](EditParams& edit) { edit.vibrance = 10; });
    EXPECT_EQ(cached().params.vibrance, 10);
    EXPECT_EQ(cached().params.exposure, 0) << "only the change itself";
}

}  // namespace
}  // namespace quillmere
