#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillmere {

// Which photos a batch export covers.
enum class ExportScope {
    current,   // the open photo
    selected,  // the selected photos
    all,       // every photo of the session
};

inline constexpr std::array<ExportScope, 3> allExportScopes{
    ExportScope::current, ExportScope::selected, ExportScope::all};

// "current", "selected", "all".
std::string_view rawValue(ExportScope scope);
// Exactly one of the three raw values; any other text gives nothing.
std::optional<ExportScope> exportScopeFromRawValue(std::string_view rawValue);

// What a batch export wrote and what it could not, each in the order the photos were visited.
struct BatchExportResult {
    std::vector<std::filesystem::path> outputs;
    // One line per photo that failed: its file name, ": " and the reason.
    std::vector<std::string> failures;

    bool operator==(const BatchExportResult&) const = default;
};

}  // namespace quillmere
