#pragma once

#include <string_view>

#include "core/imageio/linear_image.h"

namespace quillmere {

// Decodes a JPEG or HEIF photo into an upright extended linear sRGB image, bottom row first.
// The format is told by the data, not the file name. Throws ImageIOError: unreadableFile,
// unsupportedFormat, corruptImage (damaged or truncated data), imageTooLarge, outOfMemory.
LinearImage decodeRasterData(std::string_view data);

}  // namespace quillmere
