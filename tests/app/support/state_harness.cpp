#include "tests/app/support/state_harness.h"

#include "core/edit/built_in_presets.h"

namespace quillmere::testing {

StateHarness::StateHarness(HarnessReplacements replacements)
    : presets(std::make_shared<InMemoryPresetStore>(BuiltInPresets::folders())),
      preferences(std::make_shared<Preferences>(
          QString::fromStdString((folder.path() / "preferences.conf").string()))) {
    AppStateCollaborators collaborators{
        .presetStore = replacements.presets ? replacements.presets : presets,
        .checkpointStore = replacements.checkpoints ? replacements.checkpoints
                                                    : std::make_shared<InMemoryCheckpointStore>(),
        .editClipboard = replacements.clipboard ? replacements.clipboard : clipboard,
        .photoEditStore = PhotoEditStore(folder.path() / "Edits"),
        .mainExecutor = executor,
        .histogramRunner = histograms,
        .thumbnailRunner = thumbnails,
        .fileRunner = fileReads,
        .preferences = preferences,
        .prompts = prompts,
    };
    state = std::make_unique<AppState>(engine, std::move(collaborators));
    log = std::make_unique<FieldLog>(*state);
}

bool StateHarness::request(const std::vector<std::filesystem::path>& urls) {
    QList<QUrl> list;
    for (const auto& url : urls) list.append(QUrl::fromLocalFile(QString::fromStdString(url)));
    const bool started = state->requestOpenPhoto(list);
    executor->runPending();
    return started;
}

void StateHarness::answerOpen(std::size_t index, std::optional<OpenedPhoto> photo,
                              const char* failure) {
    executor->runPending();
    if (failure) {
        engine->failOpen(index, std::make_exception_ptr(std::runtime_error(failure)));
    } else {
        engine->completeOpen(index, std::move(photo));
    }
    readFiles();
}

void StateHarness::answerAll() {
    for (readFiles(); !engine->opens.empty() || !engine->exports.empty(); readFiles()) {
        if (!engine->opens.empty()) {
            engine->completeOpen();
        } else {
            engine->completeExport();
        }
    }
}

}  // namespace quillmere::testing
