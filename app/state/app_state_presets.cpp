// Presets and checkpoints of the application state, and their markers.

#include <exception>

#include "app/state/app_state.h"

namespace quillmere {

void AppState::reloadPresets() {
    try {
        assign(presetFolders_, presetStore_->folders(), Field::presetFolders);
    } catch (const std::exception& error) {
        setLastError(std::string("Could not load presets: ") + error.what());
    }
}

}  // namespace quillmere
