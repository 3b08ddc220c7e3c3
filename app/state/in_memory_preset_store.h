#pragma once

#include <map>
#include <string>
#include <vector>

#include "core/edit/preset_store.h"

namespace quillmere {

// A preset store in memory, for tests: the given read-only folders and the user's presets by id.
// Fails as the file store does for a built-in folder or a blank name, and for nothing else.
class InMemoryPresetStore final : public PresetStore {
  public:
    explicit InMemoryPresetStore(std::vector<PresetFolder> builtIns = {});

    // The built-in folders, then one folder per user folder name that no built-in folder has,
    // each group and each folder's presets sorted by name (plain byte order).
    std::vector<PresetFolder> folders() override;
    // Stores the preset under its trimmed name, replacing one of the same folder and name.
    void save(const Preset& preset) override;
    // Removes the preset with the same id, if there is one.
    void deletePreset(const Preset& preset) override;

  private:
    bool isBuiltInFolder(const std::string& folder) const;

    std::vector<PresetFolder> builtIns_;
    std::map<std::string, Preset> userPresets_;
};

}  // namespace quillmere
