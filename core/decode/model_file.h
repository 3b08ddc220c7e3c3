#pragma once

#include <filesystem>
#include <string>

namespace quillmere {

// The whole contents of the model file at `path`, read once, so that the declarations checked
// and the network run are the same bytes. Throws CoreMLDenoiserError: invalidModel ("model file
// is missing") when nothing is there; unreadableModel, with the cause, when the file cannot be
// read (no permission, an I/O error) or is not a regular file (a folder, a pipe, a device), which
// is refused before it is read, so a pipe never blocks the program.
std::string readModelFile(const std::filesystem::path& path);

}  // namespace quillmere
