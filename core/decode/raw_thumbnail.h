#pragma once

#include <filesystem>
#include <memory>

#include "core/compute/device.h"
#include "core/compute/texture.h"

namespace quillmere {

// A RAW photo developed small for its thumbnail, with the colour the program's decoding gives it
// (each 2 × 2 block of sensor samples one pixel, no demosaicing), then scaled so that its longer
// side is at most `longestSide` (Thumbnail::fittedSize): linear extended sRGB, RGBA16Float, the
// bottom row first, cropped and upright. What the develop pass turns into the thumbnail. A file
// the bridge develops with LibRaw is not developed again when the RAW checking helper handed
// back its half-size development of the file as it is now (takeRAWDevelopment). Null for
// a file that cannot be developed, that the RAW checking helper refused (rawFileRefusal), or a
// texture `device` cannot make; never throws.
std::shared_ptr<Texture> linearRAWThumbnail(const std::filesystem::path& url, const Device& device,
                                            int longestSide);

}  // namespace quillmere
