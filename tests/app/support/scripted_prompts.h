#pragma once

#include <deque>

#include "app/state/user_prompts.h"

namespace quillmere::testing {

// Dialog answers a test gives in advance, and the folder prompts the state showed.
struct ScriptedPrompts final : UserPrompts {
    std::vector<std::filesystem::path> chooseFilesToOpen(
        const std::vector<std::string>& offered) override {
        extensions = offered;
        return files;
    }
    std::optional<std::filesystem::path> chooseFolder(const FolderPrompt& prompt) override {
        shown.push_back(prompt);
        if (folders.empty()) return std::nullopt;
        std::optional<std::filesystem::path> answer = folders.front();
        folders.pop_front();
        return answer;
    }

    std::vector<std::filesystem::path> files;
    std::vector<std::string> extensions;
    std::deque<std::optional<std::filesystem::path>> folders;
    std::vector<FolderPrompt> shown;
};

}  // namespace quillmere::testing
