#pragma once

#include <filesystem>

namespace quillmere {

// The one spelling of a photo's path by which the application knows the photo: session entries,
// the selection, cached states, edit-file names and the edit file's `source` all use it. It is
// absolute (a relative path is taken from the current folder), lexically normal ("." and ".."
// resolved in the text, doubled separators merged) and has no trailing separator. Symbolic links
// are kept: a photo reached through a link is its own photo.
std::filesystem::path standardizedPath(const std::filesystem::path& path);

}  // namespace quillmere
