#include <gtest/gtest.h>

#include "tests/app/support/app_state_testing.h"
#include "tests/app/support/state_harness.h"

namespace quillmere {
namespace {

const std::filesystem::path kOpen = "/photos/open.dng";
const std::filesystem::path kCached = "/photos/cached.dng";
const std::filesystem::path kNeverOpened = "/photos/never.dng";

// Three photos selected: the open one, one opened before with its own white balance, spot
// repairs and markers, and one never opened.
class Propagation : public ::testing::Test {
  protected:
    Propagation() {
        harness.showPhoto(kOpen);
        AppStateTesting::addSessionPhotos(state, {kCached, kNeverOpened});
        cachedEdit = EditParams::neutral(6000, 10);
        cachedEdit.spotRepairs = {SpotRepair(UUID::random(), 0.3, 0.3, 0.01, {})};
        PhotoSessionState& cached = AppStateTesting::sessionStates(state)[kCached];
        cached.params = cached.baseline = cachedEdit;
        cached.presetID = "Film/Warm";
        cached.activeCheckpointID = UUID::random();
        AppStateTesting::select(state, {kOpen, kCached, kNeverOpened});
    }
    const PhotoSessionState& cached() { return AppStateTesting::sessionStates(state).at(kCached); }
    std::vector<bool> edited() {
        std::vector<bool> marks;
        for (const SessionPhoto& photo : state.sessionPhotos()) marks.push_back(photo.isEdited);
        return marks;
    }
    void setExposure(double value) {
        state.updateEditParams([value](EditParams& edit) { edit.exposure = value; });
    }

    testing::StateHarness harness;
    AppState& state = *harness.state;
    EditParams cachedEdit;
};

TEST_F(Propagation, EachStepChangesOnlyItsSettingAndPlainStepsMergeWhilePending) {
    setExposure(0.7);
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
    setExposure(1);
    EXPECT_EQ(cached().params, cachedEdit);
    EXPECT_TRUE(state.pendingSelectionEdits().empty());
    // The open photo's own mark still follows its edit.
    EXPECT_EQ(edited(), (std::vector{true, false, false}));
}

}  // namespace
}  // namespace quillmere
