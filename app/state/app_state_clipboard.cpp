// Copying and pasting edits through the edit clipboard.

#include <QScopedValueRollback>
#include <exception>

#include "app/state/app_state.h"

namespace quillmere {

void AppState::bumpClipboardRevision() {
    editClipboardRevision_ = incremented(editClipboardRevision_);
    emit changed(Field::editClipboardRevision);
}

bool AppState::canPasteEdit() const {
    return photo_ && !isOpening_ && editClipboard_->containsEdit();
}

void AppState::copyEditToClipboard() {
    if (!photo_ || isOpening_) return;
    // Spot repairs belong to one photo and never travel.
    EditParams copied = editParams_;
    copied.spotRepairs.clear();
    try {
        editClipboard_->write(copied);
    } catch (const std::exception& error) {
        setLastError(error.what());
        return;
    }
    bumpClipboardRevision();
}

void AppState::pasteEditFromClipboard() {
    if (!photo_ || isOpening_) return;
    std::optional<EditParams> pasted;
    try {
        pasted = editClipboard_->read();
    } catch (const std::exception& error) {
        setLastError(std::string("Could not paste edit: ") + error.what());
        return;
    }
    if (!pasted) return;

    const QScopedValueRollback selectionEditsSuppressed(suppressSelectionEdits_, true);
    applyToOtherSelectedPhotos(PresetValues::allReusable(*pasted));
    EditParams edit = std::move(*pasted);
    edit.spotRepairs = editParams_.spotRepairs;
    useOfferedDenoiser(edit, *photo_);
    setEditParams(std::move(edit));
    endComparisons();
    clearDisabledLayers();
    clearMarkers();
    bumpClipboardRevision();
}

}  // namespace quillmere
