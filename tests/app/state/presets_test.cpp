#include <gtest/gtest.h>

#include "tests/app/support/app_state_testing.h"
#include "tests/app/support/state_harness.h"

namespace quillmere {
namespace {

const std::filesystem::path kPhoto = "/photos/a.dng";
const Preset kDetail{
    "Detail", "Mine", {.exposure = 1, .denoiseMethod = DenoiseMethod::matchFilter}};

TEST(Presets, ApplyingMarksThePresetUntilTheEditMovesAway) {
    testing::StateHarness harness;
    AppState& state = *harness.state;
    EXPECT_THROW(state.saveCurrentAsPreset("x", "Mine", {}), PresetStoreError);
    state.saveCurrentAsPreset("Other", "Mine", {.tone = true});
    EXPECT_EQ(state.userFolderNames(), std::vector<std::string>{"Mine"});

    harness.showPhoto(kPhoto, false);
    state.toggleEditLayer(EditLayer::exposure);
    state.applyPreset(kDetail);
    // This photo offers no Detail denoiser.
    EXPECT_EQ(state.editParams().denoiseMethod, DenoiseMethod::natural);
    EXPECT_TRUE(state.disabledEditLayers().empty());
    state.deletePreset({"Other", "Mine", {}});
    // A control writing the value already there keeps the marker; a real change clears it for
    // good, even when the value comes back.
    state.updateEditParams([](EditParams& edit) { edit.exposure = 1; });
    state.clearAppliedPreset();
    EXPECT_EQ(state.lastAppliedPresetID(), "Mine/Detail");
    for (double exposure : {2.0, 1.0}) {
        state.updateEditParams([exposure](EditParams& edit) { edit.exposure = exposure; });
        state.clearAppliedPreset();
    }
    EXPECT_EQ(state.lastAppliedPresetID(), std::nullopt);
    state.applyPreset(kDetail);
    state.deletePreset(kDetail);
    EXPECT_EQ(state.lastAppliedPresetID(), std::nullopt);
}

TEST(Presets, ARelativeWhiteBalanceKeepsItsPlaceInAPhotosPendingEdits) {
    testing::StateHarness harness;
    AppState& state = *harness.state;
    harness.showPhoto(kPhoto);
    AppStateTesting::addSessionPhotos(state, {"/photos/b.dng"});
    AppStateTesting::select(state, {kPhoto, "/photos/b.dng"});
    for (double exposure : {0.1, 0.2, -1.0, 0.3, 0.4}) {
        if (exposure < 0) state.applyPreset({"Warm", "Film", {.temperatureScale = 1.1}});
        if (exposure >= 0) state.updateEditParams([=](EditParams& e) { e.exposure = exposure; });
    }
    EXPECT_EQ(state.pendingSelectionEdits().at("/photos/b.dng"),
              (std::vector<PresetValues>{
                  {.exposure = 0.2}, {.temperatureScale = 1.1}, {.exposure = 0.4}}));
}

TEST(Checkpoints, SaveRestoreAndDeleteMoveTheMarkers) {
    testing::StateHarness harness;
    AppState& state = *harness.state;
    EXPECT_THROW(state.saveCheckpoint("x"), AppState::ExportError);
    harness.showPhoto(kPhoto, false);
    state.applyPreset(kDetail);
    EXPECT_THROW(state.saveCheckpoint(" \n"), CheckpointStoreError);
    state.saveCheckpoint("  First ");
    EditCheckpoint first = state.checkpoints().at(0);
    EXPECT_EQ(first.name, "First");
    EXPECT_EQ(state.activeCheckpointID(), first.id);
    EXPECT_EQ(state.lastAppliedPresetID(), std::nullopt);

    state.toggleSpotRepair();
    state.beginSpotRepairStroke({0.5, 0.5});
    state.endSpotRepairStroke();
    state.beginSpotRepairStroke({0.4, 0.5});
    first.params.denoiseMethod = DenoiseMethod::matchFilter;
    state.restoreCheckpoint(first);
    EXPECT_EQ(state.editParams().denoiseMethod, DenoiseMethod::natural);
    EXPECT_FALSE(state.isSpotRepairActive() || state.spotRepairDraft());
    EXPECT_TRUE(state.spotUndoStack().empty());
    state.deleteCheckpoint(first);
    EXPECT_EQ(state.activeCheckpointID(), std::nullopt);
}

TEST(Checkpoints, AFailingStoreEmptiesTheListAndSaysWhy) {
    struct BrokenStore final : CheckpointStore {
        std::vector<EditCheckpoint> checkpoints(const std::filesystem::path&) override {
            throw CheckpointStoreError::ioFailure("disk gone");
        }
        void save(const EditCheckpoint&, const std::filesystem::path&) override {}
        void deleteCheckpoint(const EditCheckpoint&, const std::filesystem::path&) override {}
    };
    testing::StateHarness harness({.checkpoints = std::make_shared<BrokenStore>()});
    harness.showPhoto(kPhoto);
    harness.state->reloadCheckpoints();
    EXPECT_EQ(harness.state->lastError(), "Could not load checkpoints: disk gone");
}

}  // namespace
}  // namespace quillmere
