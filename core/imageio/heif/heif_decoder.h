#pragma once

#include <string_view>

#include "core/imageio/linear_image.h"

namespace quillmere {

// Decodes the primary image of a HEIF file (HEIC and the other HEIF brands libheif reads) held
// in memory into an upright extended linear sRGB image, through its ICC or nclx colour profile
// (sRGB when it has neither). The file's own rotation and mirroring are applied by libheif, and
// they are the only ones applied: HEIF's EXIF orientation only repeats them, so honouring it too
// would turn the photo twice. Throws ImageIOError: corruptImage, imageTooLarge, outOfMemory.
LinearImage decodeHeif(std::string_view bytes);

}  // namespace quillmere
