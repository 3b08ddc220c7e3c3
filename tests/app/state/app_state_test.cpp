#include "app/state/app_state.h"

#include <gtest/gtest.h>

#include "app/state/mock_render_engine.h"
#include "app/state/system_edit_clipboard.h"
#include "core/edit/file_checkpoint_store.h"
#include "core/edit/file_preset_store.h"
#include "tests/app/support/app_state_testing.h"
#include "tests/app/support/state_harness.h"

namespace quillmere {
namespace {

using Field = AppState::Field;
using testing::StateHarness;

const std::filesystem::path kPhoto = "/photos/a.dng";

TEST(AppState, GivenOnlyAnEngineItUsesTheProgramsOwnCollaborators) {
    const std::filesystem::path data = std::getenv("XDG_DATA_HOME");
    AppState state(std::make_shared<MockRenderEngine>());
    const auto* presets = dynamic_cast<FilePresetStore*>(&state.presetStore());
    ASSERT_NE(presets, nullptr);
    EXPECT_EQ(presets->directory(), data / "Quillmere" / "Presets");
    EXPECT_NE(dynamic_cast<FileCheckpointStore*>(&state.checkpointStore()), nullptr);
    EXPECT_NE(dynamic_cast<SystemEditClipboard*>(&state.editClipboard()), nullptr);
    EXPECT_EQ(state.photoEditStore().directory(), data / "Quillmere" / "Edits");
    // Filled before anything can read it.
    EXPECT_EQ(state.presetFolders().size(), 4u);
    EXPECT_EQ(state.spotRepairDiameter(), 60);
    EXPECT_EQ(state.visualizeColorBand(), -1);
}

TEST(AppState, EqualValuesAreNotAnnouncedButTheEditHandlerStillRuns) {
    StateHarness harness;
    AppState& state = *harness.state;
    AppStateTesting::addSessionPhotos(state, {kPhoto});
    EditParams edited;
    edited.exposure = 1;
    AppStateTesting::showPhoto(state, scriptedPhoto(kPhoto), edited, EditParams{});

    // The handler marks the open photo edited although the equal edit is not announced.
    state.setEditParams(edited);
    EXPECT_EQ(harness.log->fields, std::vector{Field::sessionPhotos});
    EXPECT_TRUE(state.sessionPhotos()[0].isEdited);
    state.setEditParams(EditParams{});
    EXPECT_FALSE(state.sessionPhotos()[0].isEdited);
    // A change in place is announced even when it changes nothing.
    state.updateEditParams([](EditParams&) {});
    EXPECT_EQ(harness.log->count(Field::editParams), 2);

    harness.log->clear();
    state.setLastError("x");
    state.setLastError("x");
    state.setShowOriginal(false);
    // Without equality of their own: announced every time.
    state.setHistogram(std::nullopt);
    state.setHistogram(std::nullopt);
    // The revision always moves, so a repeated request is performed again.
    state.requestZoom(AppState::ZoomAction::fit);
    state.requestZoom(AppState::ZoomAction::fit);
    EXPECT_EQ(harness.log->fields,
              (std::vector{Field::lastError, Field::histogram, Field::histogram,
                           Field::zoomRevision, Field::zoomRevision}));
    EXPECT_EQ(state.zoomRevision(), 2);
}

TEST(AppState, TurningTheSpotBrushOffAlwaysDiscardsTheStroke) {
    StateHarness harness;
    AppState& state = *harness.state;
    const SpotRepair draft(UUID::random(), 0.5, 0.5, 0.01, {});
    AppStateTesting::startStroke(state, draft, kPhoto);
    state.setIsSpotRepairActive(true);
    EXPECT_EQ(state.spotRepairDraft(), draft);
    state.setIsSpotRepairActive(false);
    AppStateTesting::startStroke(state, draft, kPhoto);
    harness.log->clear();
    state.setIsSpotRepairActive(false);
    EXPECT_EQ(state.spotRepairPhotoID(), std::nullopt);
    EXPECT_EQ(harness.log->fields, (std::vector{Field::spotRepairDraft, Field::spotRepairPhotoID}));
}

TEST(AppState, OnlyTheNewestTexturesHistogramIsPublished) {
    StateHarness harness;
    MockRenderEngine images;
    EditParams dark;
    dark.exposure = -3;
    const auto first = images.gradient(EditParams{});
    const auto second = images.gradient(dark);
    harness.state->onPreviewTexture(first);
    harness.state->onPreviewTexture(second);
    // The second finishes first; the first, arriving later, is stale.
    harness.histograms->runItem(1);
    harness.executor->runPending();
    harness.histograms->runItem(0);
    harness.executor->runPending();
    ASSERT_TRUE(harness.state->histogram());
    EXPECT_EQ(*harness.state->histogram(), HistogramBuilder(4).histogram(second));
    EXPECT_NE(*harness.state->histogram(), HistogramBuilder(4).histogram(first));
    EXPECT_EQ(harness.log->count(Field::histogram), 1);

    // Work that arrives after the state is gone is dropped.
    harness.state->onPreviewTexture(first);
    harness.log.reset();
    harness.state.reset();
    harness.histograms->runAll();
    EXPECT_EQ(harness.executor->runPending(), 1);
}

}  // namespace
}  // namespace quillmere
