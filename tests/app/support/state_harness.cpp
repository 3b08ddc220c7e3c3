#include "tests/app/support/state_harness.h"

#include <algorithm>

#include "core/edit/built_in_presets.h"
#include "tests/app/support/app_state_testing.h"

namespace quillmere::testing {

FieldLog::FieldLog(AppState& state) {
    connection_ = QObject::connect(&state, &AppState::changed,
                                   [this](AppState::Field field) { fields.push_back(field); });
}

FieldLog::~FieldLog() { QObject::disconnect(connection_); }

int FieldLog::count(AppState::Field field) const {
    return static_cast<int>(std::count(fields.begin(), fields.end(), field));
}

StateHarness::StateHarness(HarnessReplacements replacements)
    : presets(std::make_shared<InMemoryPresetStore>(BuiltInPresets::folders())) {
    AppStateCollaborators collaborators{
        .presetStore = presets,
        .checkpointStore = replacements.checkpoints ? replacements.checkpoints : checkpoints,
        .editClipboard = replacements.clipboard ? replacements.clipboard : clipboard,
        .photoEditStore = PhotoEditStore(folder.path() / "Edits"),
        .mainExecutor = executor,
        .histogramRunner = histograms,
    };
    state = std::make_unique<AppState>(replacements.engine ? replacements.engine : engine,
                                       std::move(collaborators));
    log = std::make_unique<FieldLog>(*state);
}

void StateHarness::showPhoto(const std::filesystem::path& url, bool supportsDetail,
                             const EditParams& params, const EditParams& baseline) {
    AppStateTesting::addSessionPhotos(*state, {url});
    AppStateTesting::showPhoto(*state, scriptedPhoto(url, supportsDetail), params, baseline);
    AppStateTesting::select(*state, {url});
}

}  // namespace quillmere::testing
