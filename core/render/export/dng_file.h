#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "core/reading/opened_file.h"

namespace quillmere {

// A DNG file to be rewritten, opened once: its bytes, read through the descriptor that stays open
// for the photo reader, which builds the export's XMP packet from the one the file carries.
struct OpenedDNG {
    std::shared_ptr<const OpenedFile> file;
    std::string bytes;
};

// The DNG at `path`, opened and read whole. A file too large for 32-bit TIFF offsets cannot be a
// classic TIFF and is refused before it is read: DNGExportError::invalidDNG. Throws
// RAWLoaderError: fileNotFound for a file that is gone, unsupportedFile for one that is not a
// regular file (a FIFO, a device); ReadingError (unreadable) for one that cannot be opened, and
// std::filesystem::filesystem_error for one whose reading fails.
OpenedDNG readDNGFile(const std::filesystem::path& path);

}  // namespace quillmere
