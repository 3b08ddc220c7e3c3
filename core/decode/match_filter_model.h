#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "core/decode/core_ml_denoiser.h"

namespace quillmere::MatchFilterModel {

// The places where the Detail model may be found, in the order they are tried.
struct SearchLocations {
    // The value of "QUILLMERE_MATCHFILTER_MODEL" when the variable is set, even to an empty text.
    std::optional<std::string> configuredPath;
    // The program's own model (ProgramFiles): the installed one beside an installed program, the
    // source checkout's for a program run from its build tree; nothing when the program cannot
    // tell where it is.
    std::optional<std::filesystem::path> programModel;
    // Whether the program runs from its build tree (ProgramFiles::inBuildTree): its own model then
    // comes back with a build, an installed program's with installing it again.
    bool programInBuildTree = false;
};

// The locations of this process: its environment and its own files.
SearchLocations processLocations();

// The model file of the Detail denoiser. The configured path wins without looking elsewhere, so
// whoever starts the program can be sure which model runs; otherwise the program's own model.
// Throws RAWLoaderError (renderFailed) when nothing exists where it looks, naming the place and
// what the user can do. Neither opens nor checks the file: the denoiser does that.
std::filesystem::path url(const SearchLocations& locations);
std::filesystem::path url();

// What the user can do about the model that `url` finds when it cannot be used: point the
// variable elsewhere for a configured model, build again for a build tree's, install again for an
// installed program's.
std::string advice(const SearchLocations& locations);

// The Detail denoiser over the model that `url` finds; every failure of the model, the lookup's
// and the denoiser's, names the model file and ends with the `advice` for it.
std::unique_ptr<CoreMLDenoiser> makeDenoiser(const SearchLocations& locations,
                                             const CoreMLDenoiser::Configuration& configuration);

}  // namespace quillmere::MatchFilterModel
