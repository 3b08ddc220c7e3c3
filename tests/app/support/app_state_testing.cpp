#include "tests/app/support/app_state_testing.h"

namespace quillmere {

void AppStateTesting::showPhoto(AppState& state, const OpenedPhoto& photo, const EditParams& params,
                                const EditParams& baseline) {
    state.photo_ = photo;
    state.baselineParams_ = baseline;
    state.editParams_ = params;
}

void AppStateTesting::addSessionPhotos(AppState& state,
                                       const std::vector<std::filesystem::path>& urls) {
    for (const auto& url : urls) {
        SessionPhoto photo;
        photo.url = url;
        state.sessionPhotos_.push_back(photo);
    }
}

void AppStateTesting::select(AppState& state, std::set<std::filesystem::path> urls) {
    state.selectedPhotoIDs_ = std::move(urls);
}

std::map<std::filesystem::path, PhotoSessionState>& AppStateTesting::sessionStates(
    AppState& state) {
    return state.sessionStates_;
}

void AppStateTesting::startStroke(AppState& state, const SpotRepair& draft,
                                  const std::filesystem::path& photoURL) {
    state.spotRepairDraft_ = draft;
    state.spotRepairPhotoID_ = photoURL;
}

void AppStateTesting::setPhoto(AppState& state, std::optional<OpenedPhoto> photo) {
    state.photo_ = std::move(photo);
    emit state.changed(AppState::Field::photo);
}

void AppStateTesting::setOpening(AppState& state, bool opening) { state.isOpening_ = opening; }

}  // namespace quillmere
