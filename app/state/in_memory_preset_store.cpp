#include "app/state/in_memory_preset_store.h"

#include <algorithm>

#include "core/edit/unicode_text.h"

namespace quillmere {
namespace {

void sortByName(std::vector<Preset>& presets) {
    std::stable_sort(presets.begin(), presets.end(),
                     [](const Preset& a, const Preset& b) { return a.name < b.name; });
}

}  // namespace

InMemoryPresetStore::InMemoryPresetStore(std::vector<PresetFolder> builtIns)
    : builtIns_(std::move(builtIns)) {}

bool InMemoryPresetStore::isBuiltInFolder(const std::string& folder) const {
    return std::any_of(builtIns_.begin(), builtIns_.end(),
                       [&](const PresetFolder& builtIn) { return builtIn.name == folder; });
}

std::vector<PresetFolder> InMemoryPresetStore::folders() {
    std::vector<PresetFolder> result;
    for (const PresetFolder& builtIn : builtIns_) {
        PresetFolder folder{.name = builtIn.name, .isBuiltIn = true, .presets = builtIn.presets};
        sortByName(folder.presets);
        result.push_back(std::move(folder));
    }
    std::stable_sort(result.begin(), result.end(),
                     [](const PresetFolder& a, const PresetFolder& b) { return a.name < b.name; });

    // The map's order groups nothing by folder, so the user folders are gathered first.
    std::map<std::string, std::vector<Preset>> userFolders;
    for (const auto& [id, preset] : userPresets_) {
        if (!isBuiltInFolder(preset.folder)) userFolders[preset.folder].push_back(preset);
    }
    for (auto& [name, presets] : userFolders) {
        sortByName(presets);
        result.push_back({.name = name, .isBuiltIn = false, .presets = std::move(presets)});
    }
    return result;
}

void InMemoryPresetStore::save(const Preset& preset) {
    if (isBuiltInFolder(preset.folder)) throw PresetStoreError::builtInIsReadOnly();
    Preset stored = preset;
    stored.name = std::string(trimmingWhitespaceAndNewlines(preset.name));
    if (stored.name.empty()) throw PresetStoreError::invalidName();
    userPresets_.insert_or_assign(stored.id(), stored);
}

void InMemoryPresetStore::deletePreset(const Preset& preset) {
    if (isBuiltInFolder(preset.folder)) throw PresetStoreError::builtInIsReadOnly();
    userPresets_.erase(preset.id());
}

}  // namespace quillmere
