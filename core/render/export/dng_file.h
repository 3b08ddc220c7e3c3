#pragma once

#include <filesystem>
#include <string>

namespace quillmere {

// The whole of a DNG file to be rewritten. A file too large for 32-bit TIFF offsets cannot be a
// classic TIFF and is refused before it is read: DNGExportError::invalidDNG. A file that cannot
// be read throws std::filesystem::filesystem_error.
std::string readDNGFile(const std::filesystem::path& path);

}  // namespace quillmere
