#include "tests/app/support/state_harness.h"

#include <algorithm>

#include "core/edit/built_in_presets.h"

namespace quillmere::testing {

FieldLog::FieldLog(AppState& state) {
    connection_ = QObject::connect(&state, &AppState::changed,
                                   [this](AppState::Field field) { fields.push_back(field); });
}

FieldLog::~FieldLog() { QObject::disconnect(connection_); }

int FieldLog::count(AppState::Field field) const {
    return static_cast<int>(std::count(fields.begin(), fields.end(), field));
}

StateHarness::StateHarness(std::shared_ptr<RenderEngine> engineToUse)
    : presets(std::make_shared<InMemoryPresetStore>(BuiltInPresets::folders())) {
    AppStateCollaborators collaborators{
        .presetStore = presets,
        .checkpointStore = checkpoints,
        .editClipboard = clipboard,
        .photoEditStore = PhotoEditStore(folder.path() / "Edits"),
        .mainExecutor = executor,
        .histogramRunner = histograms,
    };
    state = std::make_unique<AppState>(engineToUse ? std::move(engineToUse) : engine,
                                       std::move(collaborators));
    log = std::make_unique<FieldLog>(*state);
}

}  // namespace quillmere::testing
