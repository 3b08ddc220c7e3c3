#pragma once

#include <filesystem>
#include <optional>

#include "core/edit/environment_lookup.h"

// The program's own folder in the user's data folder, where presets, per-photo edits and the old
// central checkpoint file live.
namespace quillmere::ApplicationStorage {

// The user's data folder: $XDG_DATA_HOME when it holds an absolute path, else ~/.local/share.
std::filesystem::path userDataDirectory(const EnvironmentLookup& environment = processEnvironment);

// The folder "Quillmere" in `base` (by default the user's data folder). The first time it is
// asked for while missing, a folder "Starlingmoor" left by the program's previous name is copied
// to it; when that copy cannot be made, the old folder is returned so its data stay in use.
// Never throws and never creates the folder when neither exists.
std::filesystem::path directory(const std::optional<std::filesystem::path>& base = std::nullopt);

}  // namespace quillmere::ApplicationStorage
