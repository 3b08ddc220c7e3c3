#include "core/decode/match_filter_model.h"

#include <cstdlib>
#include <system_error>

#include "core/common/program_files.h"
#include "core/decode/core_ml_denoiser_error.h"
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
        locations.programInBuildTree = files->inBuildTree;
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
        throw RAWLoaderError::renderFailed(modelFileFailure(
            "The configured Detail model does not exist: " + lastPathComponent(configured),
            advice(locations), configured));
    }
    if (locations.programModel && existsAt(*locations.programModel)) {
        return *locations.programModel;
    }
    const std::string missing = "The Detail model is missing.";
    if (!locations.programModel) {
        // A program that cannot tell where it runs from has no place to name.
        throw RAWLoaderError::renderFailed(missing + " " + advice(locations));
    }
    throw RAWLoaderError::renderFailed(
        modelFileFailure(missing, advice(locations), *locations.programModel));
}

fs::path url() { return url(processLocations()); }

std::string advice(const SearchLocations& locations) {
    if (locations.configuredPath) {
        return "Point QUILLMERE_MATCHFILTER_MODEL at a Detail model, or unset it to use "
               "Quillmere’s own.";
    }
    if (locations.programInBuildTree) {
        return "Build Quillmere with its prepared model resources.";
    }
    return "Install Quillmere again to restore its Detail model.";
}

std::unique_ptr<CoreMLDenoiser> makeDenoiser(const SearchLocations& locations,
                                             const CoreMLDenoiser::Configuration& configuration) {
    return std::make_unique<CoreMLDenoiser>(url(locations), configuration, advice(locations));
}

}  // namespace quillmere::MatchFilterModel
