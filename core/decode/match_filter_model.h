#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace quillmere::MatchFilterModel {

// The places where the Detail model may be found, in the order they are tried.
struct SearchLocations {
    // The value of "QUILLMERE_MATCHFILTER_MODEL" when the variable is set, even to an empty text.
    std::optional<std::string> configuredPath;
    // The installed resources folder, which holds "Models/MatchFilter.onnx".
    std::filesystem::path installedResources;
    // The resources folder of the source tree the program was built from, which holds
    // "models/MatchFilter.onnx".
    std::filesystem::path sourceResources;
};

// The locations of this process: its environment and the folders recorded when it was built.
SearchLocations processLocations();

// The model file of the Detail denoiser. The configured path wins without looking elsewhere, so
// whoever starts the program can be sure which model runs; otherwise the installed model, then the
// one of the source tree. Throws RAWLoaderError (renderFailed) when nothing exists where it looks.
// Neither opens nor checks the file: the denoiser does that.
std::filesystem::path url(const SearchLocations& locations);
std::filesystem::path url();

}  // namespace quillmere::MatchFilterModel
