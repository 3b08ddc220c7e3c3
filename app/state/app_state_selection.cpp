// Selecting photos of the session.

#include "app/state/app_state.h"

namespace quillmere {

void AppState::selectPhoto(const PhotoURL& url, bool extendingSelection) {
    if (isExporting_ || isApplyingEdits_ || !sessionPhotoIndex(url)) return;
    if (extendingSelection) {
        togglePhotoSelection(url);
        return;
    }
    assign(selectedPhotoIDs_, std::set<PhotoURL>{url}, Field::selectedPhotoIDs);
    activatePhoto(url);
}

void AppState::togglePhotoSelection(const PhotoURL& url) {
    if (isBusy() || !sessionPhotoIndex(url)) return;
    if (!selectedPhotoIDs_.contains(url)) {
        selectedPhotoIDs_.insert(url);
        emit changed(Field::selectedPhotoIDs);
        activatePhoto(url);
        return;
    }
    selectedPhotoIDs_.erase(url);
    emit changed(Field::selectedPhotoIDs);
    if (photoURL() != url) return;
    // The open photo left the selection: the first photo still selected takes its place.
    for (const SessionPhoto& photo : sessionPhotos_) {
        if (selectedPhotoIDs_.contains(photo.url)) {
            activatePhoto(photo.url);
            return;
        }
    }
}

void AppState::selectAllPhotos() {
    if (isBusy()) return;
    std::set<PhotoURL> all;
    for (const SessionPhoto& photo : sessionPhotos_) all.insert(photo.url);
    assign(selectedPhotoIDs_, std::move(all), Field::selectedPhotoIDs);
}

void AppState::activatePhoto(const PhotoURL& url) {
    if (photoURL() == url && !isOpening_) return;
    const std::set<PhotoURL> selection = selectedPhotoIDs_;
    requestOpenPhoto({QUrl::fromLocalFile(QString::fromStdString(url.string()))});
    assign(selectedPhotoIDs_, selection, Field::selectedPhotoIDs);
}

}  // namespace quillmere
