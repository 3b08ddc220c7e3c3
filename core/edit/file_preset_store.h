#pragma once

#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/edit/preset_store.h"

namespace quillmere {

// The user's presets as one JSON file each ("<name>.json", holding only the partial edit) in a
// presets folder, at its top level or in one level of named sub-folders, listed after the
// read-only built-in folders. The disk is read afresh on every call; nothing is cached.
//
// Names are checked, not cleaned: a valid preset name is non-empty, holds no "/" and no NUL and
// does not begin with "."; a folder name is "" (the top level) or valid by the same rules. User
// folders may not carry a built-in folder's name (compared exactly); such sub-folders on disk
// are not listed.
class FilePresetStore final : public PresetStore {
  public:
    // `directory` defaults to the folder "Presets" of the application folder. Touches no file: the
    // presets folder is made by the first save.
    FilePresetStore(std::optional<std::filesystem::path> directory,
                    std::vector<PresetFolder> builtIns);

    // The built-in folders, then the user folders, each group sorted by name in the user's
    // locale ignoring case, then the top-level presets, sorted the same way, as a last folder
    // named "". Unreadable folders and files that are not valid presets are left out quietly.
    std::vector<PresetFolder> folders() override;
    // Throws PresetStoreError: builtInIsReadOnly, invalidName, or ioFailure ("could not create
    // folder: ", "could not write preset: "). The file is replaced atomically, so a failed save
    // leaves an earlier preset of that name intact.
    void save(const Preset& preset) override;
    // Removes the preset's file, never a folder. Throws PresetStoreError: builtInIsReadOnly,
    // invalidName, or ioFailure ("preset not found: " and the preset's id, "could not delete
    // preset: "). An emptied sub-folder stays on disk but is no longer listed.
    void deletePreset(const Preset& preset) override;

    const std::filesystem::path& directory() const { return directory_; }

  private:
    // Throws unless `preset` may be written or removed.
    void requireWritable(const Preset& preset) const;
    std::filesystem::path folderPath(const std::string& folder) const;

    std::filesystem::path directory_;
    std::vector<PresetFolder> builtIns_;
    std::set<std::string> builtInNames_;
};

}  // namespace quillmere
