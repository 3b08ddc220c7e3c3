// Which edits quitting would lose: the session's edits compared with what the edit files hold.

#include "app/state/app_state.h"

namespace quillmere {

bool AppState::hasUnsavedEdits() const {
    // An edit file that stands for a different edit, or none known: saving would change it.
    const auto differsFromFile = [this](const PhotoURL& url, const StoredPhotoEdit& edit) {
        const auto stored = storedEdits_.find(url);
        return stored == storedEdits_.end() || stored->second != edit;
    };
    // Edits carried to a photo never opened exist nowhere else.
    for (const auto& [url, pending] : pendingSelectionEdits_) {
        if (!pending.empty()) return true;
    }
    // The open photo's live fields are newer than its cached state.
    if (const auto openURL = photoURL();
        openURL && differsFromFile(*openURL, {editParams_, baselineParams_, xmpLoaded_})) {
        return true;
    }
    for (const auto& [url, state] : sessionStates_) {
        if (differsFromFile(url, state.stored())) return true;
    }
    return false;
}

}  // namespace quillmere
