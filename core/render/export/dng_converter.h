#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "core/render/export/dng_file.h"

namespace quillmere {

// Whether an external DNG converter may be used, and where it is looked for.
struct DNGConverterSetup {
    // False where the converter is never looked for or started.
    bool allowed = false;
    // Tried in order; the first that is an executable file is run.
    std::vector<std::filesystem::path> executableCandidates;

    // The program's setup. Adobe DNG Converter does not exist for Linux, so every edition takes
    // the store edition's way: a RAW file other than a DNG is refused with
    // externalConverterUnavailable, whose sentence says what to do instead. The conversion
    // itself is kept for a setup that names a converter.
    static DNGConverterSetup standard();
};

// Converts a non-DNG RAW file with Adobe DNG Converter and returns the DNG, opened and read (its
// descriptor outlives the file's name). The converter writes into a fresh temporary folder that is
// removed again on every path.
//
// Throws DNGExportError: externalConverterUnavailable when the setup does not allow it,
// converterRequired when no candidate is an executable file, conversionFailed when it exits with
// a failure or leaves no ".dng" file. Launch, folder and file errors of the system are thrown as
// std::system_error or std::filesystem::filesystem_error.
OpenedDNG convertToDNG(const std::filesystem::path& source, const DNGConverterSetup& setup);

}  // namespace quillmere
