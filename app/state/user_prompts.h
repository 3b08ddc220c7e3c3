#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quillmere {

// What the folder panel shows.
struct FolderPrompt {
    std::string title;
    std::string message;
    // The confirming button.
    std::string prompt;
    std::filesystem::path startFolder;
};

// The dialogs the application state needs answered by the user. The desktop shell provides the
// file-dialog version; tests script the answers.
class UserPrompts {
  public:
    virtual ~UserPrompts() = default;

    // The open panel: several files may be chosen, only files with one of `extensions` (given in
    // lower and upper case) are offered, the confirming button reads "Open". Nothing when the user
    // cancels.
    virtual std::vector<std::filesystem::path> chooseFilesToOpen(
        const std::vector<std::string>& extensions) = 0;
    // The folder panel: one folder only. Nothing when the user cancels.
    virtual std::optional<std::filesystem::path> chooseFolder(const FolderPrompt& prompt) = 0;
};

}  // namespace quillmere
