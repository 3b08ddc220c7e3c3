#include "app/state/file_error.h"

#include <string>

namespace quillmere {
namespace {

std::string quotedName(const std::filesystem::path& path) {
    return "“" + path.filename().string() + "”";
}

}  // namespace

FileError FileError::couldNotCreateFolder(const std::filesystem::path& folder,
                                          const std::error_code& reason) {
    return FileError("The folder " + quotedName(folder) +
                     " could not be created: " + reason.message() + ".");
}

FileError FileError::couldNotSave(const std::filesystem::path& file,
                                  const std::error_code& reason) {
    return FileError("The file " + quotedName(file) + " could not be saved: " + reason.message() +
                     ".");
}

FileError FileError::couldNotReadSavedEdit(const std::filesystem::path& file,
                                           const std::string& reason) {
    return FileError("The saved edit of this photo could not be read from “" + file.string() +
                     (reason.empty() ? "”." : "”: " + reason));
}

}  // namespace quillmere
