// Layer bypass, the comparison switches and the resets of the open photo's edit.

#include "app/state/app_state.h"
#include "app/state/slider_field.h"

namespace quillmere {

NeutralWhiteBalance AppState::neutralWhiteBalance() const {
    if (!photo_) return {};
    return {.temperature = photo_->asShotTemperature, .tint = photo_->asShotTint};
}

EditParams AppState::effectiveParams() const {
    const NeutralWhiteBalance neutral = neutralWhiteBalance();
    if (showOriginal_) {
        EditParams original = EditParams::neutral(neutral.temperature, neutral.tint);
        original.denoiseMethod = editParams_.denoiseMethod;
        return original;
    }
    EditParams effective = editParams_;
    if (showDenoiseOriginal_) effective.denoise = 0;
    if (showRecoveryOriginal_) {
        effective.highlights = 0;
        effective.shadows = 0;
        effective.whites = 0;
        effective.blacks = 0;
    }
    for (EditLayer layer : disabledEditLayers_) bypass(layer, effective, neutral);
    return effective;
}

std::vector<EditLayer> AppState::activeEditLayers() const {
    const NeutralWhiteBalance neutral = neutralWhiteBalance();
    std::vector<EditLayer> layers;
    for (EditLayer layer : allEditLayers) {
        if (isActive(layer, editParams_, neutral)) layers.push_back(layer);
    }
    return layers;
}

void AppState::insertDisabledLayer(EditLayer layer) {
    disabledEditLayers_.insert(layer);
    emit changed(Field::disabledEditLayers);
}

void AppState::removeDisabledLayer(EditLayer layer) {
    disabledEditLayers_.erase(layer);
    emit changed(Field::disabledEditLayers);
}

void AppState::clearDisabledLayers() {
    disabledEditLayers_.clear();
    emit changed(Field::disabledEditLayers);
}

void AppState::endComparisons() {
    setShowOriginal(false);
    setShowDenoiseOriginal(false);
    setShowRecoveryOriginal(false);
}

void AppState::toggleEditLayer(EditLayer layer) {
    if (!disabledEditLayers_.contains(layer)) {
        insertDisabledLayer(layer);
        // Painting repairs that are hidden would be painting blind.
        if (layer == EditLayer::spotRepair) setIsSpotRepairActive(false);
    } else {
        removeDisabledLayer(layer);
    }
    endComparisons();
}

void AppState::enableEditLayer(EditLayer layer) { removeDisabledLayer(layer); }

void AppState::resetEditLayer(EditLayer layer) {
    if (layer == EditLayer::spotRepair) {
        replaceSpotRepairs({});
        return;
    }
    EditParams reset = editParams_;
    bypass(layer, reset, neutralWhiteBalance());
    setEditParams(std::move(reset));
    removeDisabledLayer(layer);
    clearAppliedPreset();
    clearAppliedCheckpoint();
}

void AppState::toggleRecoveryComparison() {
    setShowOriginal(false);
    setShowDenoiseOriginal(false);
    setShowRecoveryOriginal(!showRecoveryOriginal_);
}

void AppState::resetSlider(EditLayer layer) {
    const SliderField& field = sliderField(layer);
    const NeutralWhiteBalance neutral = neutralWhiteBalance();
    double resetValue = 0;
    if (layer == EditLayer::temperature) resetValue = neutral.temperature;
    if (layer == EditLayer::tint) resetValue = neutral.tint;
    updateEditParams([&](EditParams& edit) { edit.*field.value = resetValue; });
    removeDisabledLayer(layer);
    clearAppliedPreset();
    clearAppliedCheckpoint();
}

void AppState::resetAll() {
    assign(spotRepairDraft_, std::nullopt, Field::spotRepairDraft);
    assign(spotRepairPhotoID_, std::nullopt, Field::spotRepairPhotoID);
    setEditParams(baselineParams_);
    endComparisons();
    assign(disabledEditLayers_, std::set<EditLayer>{}, Field::disabledEditLayers);
    assign(spotUndoStack_, std::vector<SpotRepairList>{}, Field::spotUndoStack);
    assign(spotRedoStack_, std::vector<SpotRepairList>{}, Field::spotRedoStack);
    clearMarkers();
}

void AppState::applyClassicSharpening() {
    const bool preserveRAWTexture = editParams_.sharpening.preserveRAWTexture;
    // Two separate changes, each carried to the selected photos as it happens.
    updateEditParams([](EditParams& edit) { edit.sharpening = SharpeningSettings::classic(); });
    updateEditParams(
        [&](EditParams& edit) { edit.sharpening.preserveRAWTexture = preserveRAWTexture; });
    enableEditLayer(EditLayer::sharpening);
    endComparisons();
    clearAppliedPreset();
    clearAppliedCheckpoint();
}

void AppState::resetSharpening() {
    updateEditParams([](EditParams& edit) { edit.sharpening = SharpeningSettings::neutral(); });
    enableEditLayer(EditLayer::sharpening);
    clearAppliedPreset();
    clearAppliedCheckpoint();
}

}  // namespace quillmere
