#include "app/state/export_scope.h"

namespace quillmere {

std::string_view rawValue(ExportScope scope) {
    switch (scope) {
        case ExportScope::current:
            return "current";
        case ExportScope::selected:
            return "selected";
        case ExportScope::all:
            return "all";
    }
    return "current";
}

std::optional<ExportScope> exportScopeFromRawValue(std::string_view text) {
    for (ExportScope scope : allExportScopes) {
        if (rawValue(scope) == text) return scope;
    }
    return std::nullopt;
}

}  // namespace quillmere
