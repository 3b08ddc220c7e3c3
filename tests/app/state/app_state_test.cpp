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

TEST(AppState, GivenOnlyAnEngineItUsesTheProgramsOwnCollaborators) {
    const std::filesystem::path data = std::getenv("XDG_DATA_HOME");
    AppState state(std::make_shared<MockRenderEngine>());
    const auto* presets = dynamic_cast<FilePresetStore*>(&state.presetStore());
    ASSERT_NE(presets, nullptr);
    EXPECT_EQ(presets->directory(), data / "Quillmere" / "Presets");
    EXPECT_NE(dynamic_cast<FileCheckpointStore*>(&state.checkpointStore()), nullptr);
    EXPECT_NE(dynamic_cast<SystemEditClipboard*>(&state.editClipboard()), nullptr);
    EXPECT_EQ(state.photoEditStore().directory(), data / "Quillmere" / "Edits");
    EXPECT_EQ(state.presetFolders().size(), 4u);
}

TEST(AppState, EqualValuesAreNotAnnouncedButTheHandlersStillRun) {
    testing::StateHarness harness;
    AppState& state = *harness.state;
    EditParams edited;
    edited.exposure = 1;
    harness.showPhoto("/photos/a.dng", true, edited);

    // The handler marks the open photo edited although the equal edit is not announced.
    state.setEditParams(edited);
    EXPECT_TRUE(state.sessionPhotos()[0].isEdited);
    state.setLastError("x");
    state.setLastError("x");
    state.setShowOriginal(false);
    // Without equality of their own: announced every time.
    state.setHistogram(std::nullopt);
    state.setHistogram(std::nullopt);
    // The revision always moves, so a repeated request is performed again.
    state.requestZoom(AppState::ZoomAction::fit);
    state.requestZoom(AppState::ZoomAction::fit);
    // Turning the brush off, even when it is off, discards the stroke.
    AppStateTesting::startStroke(state, SpotRepair(UUID::random(), 0.5, 0.5, 0.01, {}), "/a");
    state.setIsSpotRepairActive(false);
    EXPECT_EQ(harness.log->fields,
              (std::vector{Field::sessionPhotos, Field::lastError, Field::histogram,
                           Field::histogram, Field::zoomRevision, Field::zoomRevision,
                           Field::spotRepairDraft, Field::spotRepairPhotoID}));
    EXPECT_EQ(state.zoomRevision(), 2);
}

TEST(AppState, OnlyTheNewestTexturesHistogramIsPublished) {
    testing::StateHarness harness;
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
    EXPECT_EQ(harness.state->histogram(), HistogramBuilder(4).histogram(second));
    EXPECT_NE(harness.state->histogram(), HistogramBuilder(4).histogram(first));
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
