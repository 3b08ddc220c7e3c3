// Presets and checkpoints of the application state, and their markers.

#include <QScopedValueRollback>
#include <chrono>
#include <exception>

#include "app/state/app_state.h"
#include "core/edit/unicode_text.h"

namespace quillmere {

AppState::ExportError AppState::ExportError::noPhotoOpen() {
    return ExportError("No photo is open to export.");
}

void AppState::useOfferedDenoiser(EditParams& params, const OpenedPhoto& photo) {
    if (!photo.supportsDetailDenoise) params.denoiseMethod = DenoiseMethod::natural;
}

bool AppState::photoLacksDetail() const { return photo_ && !photo_->supportsDetailDenoise; }

void AppState::clearMarkers() {
    assign(lastAppliedPresetID_, std::nullopt, Field::lastAppliedPresetID);
    appliedParamsSnapshot_.reset();
    assign(activeCheckpointID_, std::nullopt, Field::activeCheckpointID);
    checkpointParamsSnapshot_.reset();
}

void AppState::reloadPresets() {
    try {
        assign(presetFolders_, presetStore_->folders(), Field::presetFolders);
    } catch (const std::exception& error) {
        setLastError(std::string("Could not load presets: ") + error.what());
    }
}

void AppState::applyPreset(const Preset& preset) {
    if (isBusy()) return;
    const QScopedValueRollback selectionEditsSuppressed(suppressSelectionEdits_, true);
    // Each other photo applies the preset to its own edit, so a relative white balance acts on
    // that photo's own temperature and tint.
    applyToOtherSelectedPhotos(preset.values);
    setEditParams(applying(editParams_, preset.values));
    clearDisabledLayers();
    if (photoLacksDetail()) {
        updateEditParams([this](EditParams& edit) { useOfferedDenoiser(edit, *photo_); });
    }
    assign(lastAppliedPresetID_, preset.id(), Field::lastAppliedPresetID);
    appliedParamsSnapshot_ = editParams_;
    assign(activeCheckpointID_, std::nullopt, Field::activeCheckpointID);
    checkpointParamsSnapshot_.reset();
}

void AppState::saveCurrentAsPreset(const std::string& name, const std::string& folder,
                                   const PresetCaptureOptions& options) {
    if (!options.hasSelection()) throw PresetStoreError::noSelection();
    presetStore_->save({name, folder, PresetValues::capturing(editParams_, options)});
    reloadPresets();
}

void AppState::deletePreset(const Preset& preset) {
    presetStore_->deletePreset(preset);
    if (lastAppliedPresetID_ == preset.id()) {
        assign(lastAppliedPresetID_, std::nullopt, Field::lastAppliedPresetID);
    }
    reloadPresets();
}

std::vector<std::string> AppState::userFolderNames() const {
    std::vector<std::string> names;
    for (const PresetFolder& folder : presetFolders_) {
        if (!folder.isBuiltIn) names.push_back(folder.name);
    }
    return names;
}

void AppState::clearAppliedPreset() {
    if (!lastAppliedPresetID_) return;
    if (appliedParamsSnapshot_ && *appliedParamsSnapshot_ == editParams_) return;
    assign(lastAppliedPresetID_, std::nullopt, Field::lastAppliedPresetID);
    appliedParamsSnapshot_.reset();
}

void AppState::reloadCheckpoints() {
    const auto url = photoURL();
    if (!url) {
        assign(checkpoints_, std::vector<EditCheckpoint>{}, Field::checkpoints);
        return;
    }
    try {
        assign(checkpoints_, checkpointStore_->checkpoints(*url), Field::checkpoints);
    } catch (const std::exception& error) {
        assign(checkpoints_, std::vector<EditCheckpoint>{}, Field::checkpoints);
        setLastError(std::string("Could not load checkpoints: ") + error.what());
    }
}

void AppState::saveCheckpoint(const std::string& name) {
    const auto url = photoURL();
    if (!url) throw ExportError::noPhotoOpen();
    const std::string trimmed(trimmingWhitespaceAndNewlines(name));
    if (trimmed.empty()) throw CheckpointStoreError::invalidName();
    const EditCheckpoint checkpoint{UUID::random(), trimmed, std::chrono::system_clock::now(),
                                    editParams_};
    checkpointStore_->save(checkpoint, *url);
    reloadCheckpoints();
    assign(activeCheckpointID_, checkpoint.id, Field::activeCheckpointID);
    checkpointParamsSnapshot_ = editParams_;
    assign(lastAppliedPresetID_, std::nullopt, Field::lastAppliedPresetID);
    appliedParamsSnapshot_.reset();
}

void AppState::restoreCheckpoint(const EditCheckpoint& checkpoint) {
    // The other selected photos keep their own edits.
    const QScopedValueRollback selectionEditsSuppressed(suppressSelectionEdits_, true);
    setEditParams(checkpoint.params);
    if (photoLacksDetail()) {
        updateEditParams([this](EditParams& edit) { useOfferedDenoiser(edit, *photo_); });
    }
    endComparisons();
    clearDisabledLayers();
    setIsSpotRepairActive(false);
    assign(spotUndoStack_, std::vector<SpotRepairList>{}, Field::spotUndoStack);
    assign(spotRedoStack_, std::vector<SpotRepairList>{}, Field::spotRedoStack);
    assign(activeCheckpointID_, checkpoint.id, Field::activeCheckpointID);
    checkpointParamsSnapshot_ = editParams_;
    assign(lastAppliedPresetID_, std::nullopt, Field::lastAppliedPresetID);
    appliedParamsSnapshot_.reset();
}

void AppState::deleteCheckpoint(const EditCheckpoint& checkpoint) {
    const auto url = photoURL();
    if (!url) throw ExportError::noPhotoOpen();
    checkpointStore_->deleteCheckpoint(checkpoint, *url);
    if (activeCheckpointID_ == checkpoint.id) {
        assign(activeCheckpointID_, std::nullopt, Field::activeCheckpointID);
        checkpointParamsSnapshot_.reset();
    }
    reloadCheckpoints();
}

void AppState::clearAppliedCheckpoint() {
    if (!activeCheckpointID_) return;
    if (checkpointParamsSnapshot_ && *checkpointParamsSnapshot_ == editParams_) return;
    assign(activeCheckpointID_, std::nullopt, Field::activeCheckpointID);
    checkpointParamsSnapshot_.reset();
}

}  // namespace quillmere
