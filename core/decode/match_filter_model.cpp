#include "core/decode/match_filter_model.h"

#include <cstdlib>
#include <system_error>

#include "core/common/program_files.h"
#include "core/decode/raw_loader_error.h"

namespace quillmere::MatchFilterModel {
namespace {

namespace fs = std::filesystem;

// An existence test that treats an unreadable location as absent instead of failing.
bool existsAt(const fs::path& path) {
    std::error_code error;
    return fs::exists(path, error);
}

// The last component of a path as the user wrote it; a trailing slash does not hide it.
std::string lastPathComponent(const fs::path& path) {
    return path.has_filename() ? path.filename().string() : path.parent_path().filename().string();
}

}  // namespace

SearchLocations processLocations() {
    SearchLocations locations;
    if (const std::optional<ProgramFiles>& files = ProgramFiles::forProcess()) {
        locations.programModel = files->detailModel;
    }
    if (const char* configured = std::getenv("QUILLMERE_MATCHFILTER_MODEL")) {
        locations.configuredPath = configured;
    }
    return locations;
}

fs::path url(const SearchLocations& locations) {
    if (locations.configuredPath) {
        const fs::path configured(*locations.configuredPath);
        if (existsAt(configured)) {
            return configured;
        }
        throw RAWLoaderError::renderFailed("The configured Detail model does not exist: " +
                                           lastPathComponent(configured));
    }
    if (locations.programModel && existsAt(*locations.programModel)) {
        return *locations.programModel;
    }
    throw RAWLoaderError::renderFailed(
        "The Detail model is missing. Build Quillmere with its prepared model resources.");
}

fs::path url() { return url(processLocations()); }

}  // namespace quillmere::MatchFilterModel
