#pragma once

#include <vector>

#include "core/edit/preset.h"
#include "core/edit/preset_store_error.h"

namespace quillmere {

// Where the application finds, saves and deletes presets. Every call may throw; failures of
// the store itself are PresetStoreError.
class PresetStore {
  public:
    virtual ~PresetStore() = default;

    // Every folder to show: the built-in ones first, then the user's.
    virtual std::vector<PresetFolder> folders() = 0;
    // Saves `preset` in its folder, replacing a preset of the same name there.
    virtual void save(const Preset& preset) = 0;
    // Deletes a user preset.
    virtual void deletePreset(const Preset& preset) = 0;
};

}  // namespace quillmere
