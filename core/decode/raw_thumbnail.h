#pragma once

#include <filesystem>
#include <memory>

#include "core/compute/texture.h"
#include "core/reading/photo_reader.h"

namespace quillmere {

// A RAW photo developed small for its thumbnail by a reader of the file (rawThumbnail), with the
// colour the program's decoding gives it (each 2 × 2 block of a Bayer sensor one pixel, no
// demosaicing; any other file by LibRaw's development at half size), then scaled so that its
// longer side is at most `longestSide` (Thumbnail::fittedSize): linear extended sRGB,
// RGBA16Float, the bottom row first, cropped and upright. What the develop pass turns into the
// thumbnail. One development of the file, the thumbnail's, never the photo's full one. Its texels
// are the reader's sealed file, mapped. Read by `reader`, the program's own
// (PhotoReader::forProcess) when null. Null for a file that cannot be opened or developed, or that
// its reader did not answer for (a missing reader among them); never throws.
std::shared_ptr<Texture> linearRAWThumbnail(const std::filesystem::path& url, int longestSide,
                                            PhotoReader* reader = nullptr);

}  // namespace quillmere
