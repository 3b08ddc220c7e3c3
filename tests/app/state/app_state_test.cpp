#include "app/state/app_state.h"

#include <gtest/gtest.h>

#include "app/state/mock_render_engine.h"
#include "app/state/system_edit_clipboard.h"
#include "core/edit/file_checkpoint_store.h"
#include "core/edit/file_preset_store.h"
#include "tests/app/support/state_harness.h"

namespace quillmere {
namespace {

using Field = AppState::Field;
using Publication = testing::StateTest;

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

TEST_F(Publication, EqualValuesAreNotAnnouncedButTheHandlersStillRun) {
    harness.showPhoto("/photos/a.dng", true, testing::exposed(1));
    harness.log->clear();
    // The handler marks the open photo edited although the equal edit is not announced.
    state.setEditParams(testing::exposed(1));
    EXPECT_TRUE(state.sessionPhotos()[0].isEdited);
    for (int time = 0; time < 2; ++time) {
        state.setLastError("x");
        state.setShowOriginal(false);
        // Without equality of its own: announced every time.
        state.setHistogram(std::nullopt);
        // The revision always moves, so a repeated request is performed again.
        state.requestZoom(AppState::ZoomAction::fit);
    }
    // Turning the brush off, even when it is off, discards the stroke.
    AppStateTesting::startStroke(state, SpotRepair(UUID::random(), 0.5, 0.5, 0.01, {}), "/a");
    state.setIsSpotRepairActive(false);
    EXPECT_EQ(harness.log->fields,
              (std::vector{Field::sessionPhotos, Field::lastError, Field::histogram,
                           Field::zoomRevision, Field::histogram, Field::zoomRevision,
                           Field::spotRepairDraft, Field::spotRepairPhotoID}));
    EXPECT_EQ(state.zoomRevision(), 2);
}

TEST_F(Publication, OnlyTheNewestTexturesHistogramIsPublished) {
    MockRenderEngine images;
    const auto first = images.gradient({}), second = images.gradient(testing::exposed(-3));
    state.onPreviewTexture(first);
    state.onPreviewTexture(second);
    // The second finishes first; the first, arriving later, is stale.
    for (std::size_t item : {1, 0}) {
        harness.histograms->runItem(item);
        harness.executor->runPending();
    }
    EXPECT_EQ(state.histogram(), HistogramBuilder(4).histogram(second));
    EXPECT_EQ(harness.log->count(Field::histogram), 1);

    // Work that arrives after the state is gone is dropped.
    state.onPreviewTexture(first);
    harness.state.reset();
    harness.histograms->runAll();
    EXPECT_EQ(harness.executor->runPending(), 1);
}

}  // namespace
}  // namespace quillmere
