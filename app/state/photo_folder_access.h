#pragma once

#include <filesystem>
#include <memory>
#include <vector>

#include "app/state/preferences.h"
#include "app/state/user_prompts.h"
#include "core/common/error.h"

namespace quillmere {

// Makes sure, in a sandboxed run, that the whole folder of every photo about to be opened may be
// read, since its sidecars, checkpoints and exports live beside it. The user chooses each folder
// once; the choice is kept as the folder's canonical path under "photoFolderAccess.bookmarks.v1"
// and restored on the first use in every later run while the folder exists and can be read.
// Outside the sandbox everything is granted at once. GUI thread only.
class PhotoFolderAccess {
  public:
    class AccessError : public Error {
      public:
        enum class Code { wrongFolder };

        // "Choose the folder containing the selected photo, then open the photo again."
        static AccessError wrongFolder();
        Code code() const { return Code::wrongFolder; }

      private:
        using Error::Error;
    };

    static constexpr const char* bookmarkKey = "photoFolderAccess.bookmarks.v1";

    // `prompts` may be null: then nobody can grant a folder.
    PhotoFolderAccess(std::shared_ptr<Preferences> preferences,
                      std::shared_ptr<UserPrompts> prompts);

    // True when every photo's folder may be read, asking for each folder not yet granted; false
    // when the user cancelled. Throws AccessError::wrongFolder when the chosen folder does not
    // hold the photo.
    bool authorize(const std::vector<std::filesystem::path>& photoURLs);

    // Whether `photoURL` lies below `folderURL`, comparing whole components of both paths with
    // their symbolic links resolved. A folder does not contain itself.
    static bool contains(const std::filesystem::path& photoURL,
                         const std::filesystem::path& folderURL);

  private:
    // Once per run: keeps the stored folders that still exist and can be read, and writes back
    // only those.
    void restore();

    std::shared_ptr<Preferences> preferences_;
    std::shared_ptr<UserPrompts> prompts_;
    std::vector<std::filesystem::path> folders_;
    bool restored_ = false;
};

}  // namespace quillmere
