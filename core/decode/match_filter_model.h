#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace quillmere::MatchFilterModel {

// The places where the Detail model may be found, in the order they are tried.
struct SearchLocations {
    // The value of "QUILLMERE_MATCHFILTER_MODEL" when the variable is set, even to an empty text.
    std::optional<std::string> configuredPath;
    // The program's own model (ProgramFiles): the installed one beside an installed program, the
    // source checkout's for a program run from its build tree; nothing when the program cannot
    // tell where it is.
    std::optional<std::filesystem::path> programModel;
};

// The locations of this process: its environment and its own files.
SearchLocations processLocations();

// The model file of the Detail denoiser. The configured path wins without looking elsewhere, so
// whoever starts the program can be sure which model runs; otherwise the program's own model.
// Throws RAWLoaderError (renderFailed) when nothing exists where it looks. Neither opens nor
// checks the file: the denoiser does that.
std::filesystem::path url(const SearchLocations& locations);
std::filesystem::path url();

}  // namespace quillmere::MatchFilterModel
