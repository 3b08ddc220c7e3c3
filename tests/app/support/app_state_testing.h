#pragma once

#include <filesystem>
#include <map>
#include <set>
#include <vector>

#include "app/state/app_state.h"

namespace quillmere {

// Puts an application state into the situations its tests start from, and reads what it does
// not publish.
class AppStateTesting {
  public:
    // `photo` open with `params` over `baseline`, as an open leaves it; no handler runs.
    static void showPhoto(AppState& state, const OpenedPhoto& photo, const EditParams& params,
                          const EditParams& baseline);
    // Appends session photos without opening them.
    static void addSessionPhotos(AppState& state, const std::vector<std::filesystem::path>& urls);
    static void select(AppState& state, std::set<std::filesystem::path> urls);
    static std::map<std::filesystem::path, PhotoSessionState>& sessionStates(AppState& state);
    static void startStroke(AppState& state, const SpotRepair& draft,
                            const std::filesystem::path& photoURL);
    // Sets the open photo as an open or a selection does, announced.
    static void setPhoto(AppState& state, std::optional<OpenedPhoto> photo);
    static void setOpening(AppState& state, bool opening);
};

}  // namespace quillmere
