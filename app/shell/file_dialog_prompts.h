#pragma once

#include "app/state/user_prompts.h"

namespace quillmere {

// The open and folder panels as Qt file dialogs, shown modal over the active window.
class FileDialogPrompts final : public UserPrompts {
  public:
    std::vector<std::filesystem::path> chooseFilesToOpen(
        const std::vector<std::string>& extensions) override;
    // Qt's own folder dialog, which has room for the prompt's message under the file list.
    std::optional<std::filesystem::path> chooseFolder(const FolderPrompt& prompt) override;
};

}  // namespace quillmere
