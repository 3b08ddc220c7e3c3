#pragma once

#include <filesystem>
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
    static FileError couldNotRead(const std::filesystem::path& file);

  private:
    using Error::Error;
};

}  // namespace quillmere
