#pragma once

#include <filesystem>
#include <string>
#include <system_error>

#include "core/common/error.h"

namespace quillmere {

// A file or folder the application writes or reads itself (edit files, exported files) could not
// be made, written or read. `what()` is one sentence naming the file and, where the system gave
// one, its reason: "The file “a_edit.jpg” could not be saved: File too large."
class FileError : public Error {
  public:
    static FileError couldNotCreateFolder(const std::filesystem::path& folder,
                                          const std::error_code& reason);
    static FileError couldNotSave(const std::filesystem::path& file, const std::error_code& reason);
    // A photo's saved edit file could not be read or decoded: names the whole path, so that the
    // user can find the file, and ends with `reason` (a sentence) when there is one.
    static FileError couldNotReadSavedEdit(const std::filesystem::path& file,
                                           const std::string& reason = {});

  private:
    using Error::Error;
};

}  // namespace quillmere
