#pragma once

#include <filesystem>
#include <optional>
#include <set>
#include <vector>

#include "app/state/app_state.h"

namespace quillmere {

// Puts an application state into the situations its tests start from, and reads what it does
// not publish.
class AppStateTesting {
  public:
    using URL = std::filesystem::path;

    // `photo` open with `params` over `baseline`, as an open leaves it; only `photo` is
    // announced and no handler runs.
    static void showPhoto(AppState& state, const OpenedPhoto& photo, const EditParams& params = {},
                          const EditParams& baseline = {}) {
        state.photo_ = photo;
        state.baselineParams_ = baseline;
        state.editParams_ = params;
        emit state.changed(AppState::Field::photo);
    }
    // Appends session photos without opening them.
    static void addSessionPhotos(AppState& state, const std::vector<URL>& urls) {
        for (const URL& url : urls) state.sessionPhotos_.emplace_back().url = url;
    }
    static void select(AppState& state, std::set<URL> urls) { state.selectedPhotoIDs_ = urls; }
    static PhotoSessionState& sessionState(AppState& state, const URL& url) {
        return state.sessionStates_[url];
    }
    static void startStroke(AppState& state, const SpotRepair& draft, const URL& photoURL) {
        state.spotRepairDraft_ = draft;
        state.spotRepairPhotoID_ = photoURL;
    }
    // Sets the open photo as an open or a selection does, announced.
    static void setPhoto(AppState& state, std::optional<OpenedPhoto> photo) {
        state.photo_ = std::move(photo);
        emit state.changed(AppState::Field::photo);
    }
    static void setOpening(AppState& state, bool opening) { state.isOpening_ = opening; }
};

}  // namespace quillmere
