#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "app/state/edit_clipboard_payload.h"
#include "app/state/system_edit_clipboard.h"
#include "tests/app/support/app_state_testing.h"
#include "tests/app/support/state_harness.h"

namespace quillmere {
namespace {

const std::filesystem::path kPhoto = "/photos/a.dng";
const std::filesystem::path kCached = "/photos/b.dng";

SpotRepair repairAt(double x) { return SpotRepair(UUID::random(), x, 0.5, 0.01, {}); }

TEST(CopyPaste, SpotRepairsNeverTravelAndDetailIsOnlyPastedWhereOffered) {
    testing::StateHarness harness;
    AppState& state = *harness.state;
    EditParams source;
    source.exposure = 1.5;
    source.denoiseMethod = DenoiseMethod::matchFilter;
    source.spotRepairs = {repairAt(0.2)};
    harness.showPhoto("/photos/source.dng", true, source);
    state.copyEditToClipboard();
    source.spotRepairs.clear();
    EXPECT_EQ(harness.clipboard->params, source);

    EditParams target;
    target.spotRepairs = {repairAt(0.7)};
    harness.showPhoto(kPhoto, false, target);
    AppStateTesting::sessionStates(state)[kCached].params.contrast = 30;
    AppStateTesting::addSessionPhotos(state, {kCached});
    AppStateTesting::select(state, {kPhoto, kCached});
    state.toggleEditLayer(EditLayer::exposure);
    state.setShowOriginal(true);
    state.pasteEditFromClipboard();

    EditParams expected = source;
    expected.spotRepairs = target.spotRepairs;
    expected.denoiseMethod = DenoiseMethod::natural;
    EXPECT_EQ(state.editParams(), expected);
    EXPECT_FALSE(state.showOriginal());
    EXPECT_TRUE(state.disabledEditLayers().empty());
    // The other photo takes everything reusable, Detail included, its own contrast replaced.
    EXPECT_EQ(AppStateTesting::sessionStates(state).at(kCached).params, source);
    EXPECT_EQ(state.editClipboardRevision(), 2);

    // An equal paste still clears the markers.
    state.applyPreset({"Warm", "Film", {}});
    harness.clipboard->params = state.editParams();
    state.pasteEditFromClipboard();
    EXPECT_EQ(state.lastAppliedPresetID(), std::nullopt);
    AppStateTesting::setOpening(state, true);
    EXPECT_FALSE(state.canPasteEdit());
}

TEST(CopyPaste, FailuresGoToTheErrorLineAndChangeNothing) {
    struct RefusingClipboard final : EditClipboard {
        bool containsEdit() override { return true; }
        void write(const EditParams&) override { throw EditClipboardError::writeFailed(); }
        std::optional<EditParams> read() override { return std::nullopt; }
    };
    testing::StateHarness refusing({.clipboard = std::make_shared<RefusingClipboard>()});
    refusing.showPhoto(kPhoto);
    refusing.state->copyEditToClipboard();
    EXPECT_EQ(refusing.state->lastError(), "The edit could not be copied to the clipboard.");

    testing::StateHarness harness({.clipboard = std::make_shared<SystemEditClipboard>()});
    harness.showPhoto(kPhoto);
    auto* payload = new QMimeData;
    payload->setData(EditClipboardPayload::mimeType.data(), R"({"version":2,"params":{}})");
    QGuiApplication::clipboard()->setMimeData(payload);
    harness.state->pasteEditFromClipboard();
    EXPECT_EQ(harness.state->lastError(),
              "Could not paste edit: The copied edit was made by an unsupported version.");
    EXPECT_EQ(harness.state->editClipboardRevision(), 0);
}

}  // namespace
}  // namespace quillmere
