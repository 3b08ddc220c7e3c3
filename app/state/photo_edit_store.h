#pragma once

#include <filesystem>
#include <optional>

#include "app/state/photo_session_state.h"

namespace quillmere {

// The per-photo edit files: one compact JSON file per photo in one folder, named by the SHA-256
// of the photo's standardised path, so that finding a photo's file needs no listing and no index.
// Files are replaced atomically and never deleted.
class PhotoEditStore {
  public:
    // `directory` defaults to the folder "Edits" of the application folder. Nothing is touched
    // until the first save.
    explicit PhotoEditStore(std::optional<std::filesystem::path> directory = std::nullopt);

    const std::filesystem::path& directory() const { return directory_; }

    // The edit file of `photoURL`: 64 lower-case hexadecimal digits of the SHA-256 of the UTF-8
    // bytes of the standardised path, with the extension "json".
    std::filesystem::path location(const std::filesystem::path& photoURL) const;

    // Writes the state's edit, baseline and sidecar flag; markers and spot-repair history are not
    // kept. Makes the folder first. Throws FileError (folder or file) or EncodingError, and then
    // leaves any earlier file as it was.
    void save(const PhotoSessionState& state, const std::filesystem::path& photoURL) const;

    // The state saved for `photoURL`: its edit, baseline and sidecar flag, no markers, no history.
    // Nothing when there is no file, or when the file is of another version or names another
    // photo. A file that cannot be read or decoded throws FileError naming it in full, so that the
    // failure of the photo's open points at the file and not at the photo.
    std::optional<PhotoSessionState> savedState(const std::filesystem::path& photoURL) const;

  private:
    std::filesystem::path directory_;
};

}  // namespace quillmere
