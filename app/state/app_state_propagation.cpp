// How a change of the open photo's edit reaches the other selected photos and the edited marks.

#include "app/state/app_state.h"

namespace quillmere {
namespace {

bool carriesRelativeWhiteBalance(const PresetValues& values) {
    return values.temperatureScale.has_value() || values.tintShift.has_value();
}

}  // namespace

void AppState::editParamsDidChange(const EditParams& previous) {
    if (!isOpening_ && !isExporting_ && !suppressSelectionEdits_) {
        applyToOtherSelectedPhotos(PresetValues::changes(previous, editParams_));
    }
    if (const auto url = photoURL()) {
        if (const auto index = sessionPhotoIndex(*url)) {
            markSessionPhoto(*index, editParams_ != baselineParams_);
        }
    }
}

void AppState::applyToOtherSelectedPhotos(const PresetValues& delta) {
    if (delta.isEmpty()) return;
    const auto openURL = photoURL();
    // Edits travel only from a photo that is itself part of the selection.
    if (!openURL || !selectedPhotoIDs_.contains(*openURL)) return;

    for (std::size_t index = 0; index < sessionPhotos_.size(); ++index) {
        const PhotoURL& url = sessionPhotos_[index].url;
        if (url == *openURL || !selectedPhotoIDs_.contains(url)) continue;

        if (auto cached = sessionStates_.find(url); cached != sessionStates_.end()) {
            PhotoSessionState& state = cached->second;
            state.params = applying(state.params, delta);
            // The photo no longer shows the preset or checkpoint it was marked with.
            state.activeCheckpointID.reset();
            state.checkpointSnapshot.reset();
            state.presetID.reset();
            state.presetSnapshot.reset();
            markSessionPhoto(index, state.params != state.baseline);
            continue;
        }

        // Never opened: the change waits in order. Consecutive plain changes merge into one,
        // while a relative white balance keeps its own place so it acts on the right values.
        std::vector<PresetValues>& pending = pendingSelectionEdits_[url];
        if (!pending.empty() && !carriesRelativeWhiteBalance(pending.back()) &&
            !carriesRelativeWhiteBalance(delta)) {
            pending.back() = pending.back().overlaying(delta);
        } else {
            pending.push_back(delta);
        }
        markSessionPhoto(index, true);
    }
}

}  // namespace quillmere
