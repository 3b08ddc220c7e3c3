#pragma once

#include <string_view>

#include "core/imageio/linear_image.h"

namespace quillmere {

// Decodes a JPEG held in memory into an upright extended linear sRGB image, through its
// embedded ICC profile (sRGB when it has none or an unusable one) and with `orientation` (the
// file's EXIF orientation) applied. Throws ImageIOError: corruptImage for damaged or truncated
// data, imageTooLarge, outOfMemory.
LinearImage decodeJpeg(std::string_view bytes, int orientation);

}  // namespace quillmere
