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
        .thumbnailRunner = thumbnails,
        .preferences = preferences = std::make_shared<Preferences>(
            QString::fromStdString((folder.path() / "preferences.conf").string())),
        .prompts = prompts,
    };
    state = std::make_unique<AppState>(replacements.engine ? replacements.engine : engine,
                                       std::move(collaborators));
    log = std::make_unique<FieldLog>(*state);
}

bool StateHarness::request(const std::vector<std::filesystem::path>& urls) {
    QList<QUrl> list;
    for (const auto& url : urls) list.append(QUrl::fromLocalFile(QString::fromStdString(url)));
    const bool started = state->requestOpenPhoto(list);
    executor->runPending();
    return started;
}

void StateHarness::answerOpen(std::size_t index, std::optional<OpenedPhoto> photo) {
    executor->runPending();
    engine->completeOpen(index, std::move(photo));
    executor->runPending();
}

void StateHarness::answerAll() {
    for (executor->runPending(); !engine->opens.empty() || !engine->exports.empty();
         executor->runPending()) {
        if (!engine->opens.empty()) {
            engine->completeOpen();
        } else {
            engine->completeExport();
        }
    }
}

void StateHarness::open(const std::filesystem::path& url, std::optional<OpenedPhoto> photo) {
    request({url});
    answerOpen(engine->opens.size() - 1, std::move(photo));
}

void StateHarness::showPhoto(const std::filesystem::path& url, bool supportsDetail,
                             const EditParams& params, const EditParams& baseline) {
    AppStateTesting::addSessionPhotos(*state, {url});
    AppStateTesting::showPhoto(*state, scriptedPhoto(url, supportsDetail), params, baseline);
    AppStateTesting::select(*state, {url});
}

}  // namespace quillmere::testing
