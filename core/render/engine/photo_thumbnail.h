#pragma once

#include <filesystem>
#include <optional>

#include "core/imageio/rgb8_image.h"
#include "core/imageio/thumbnail_size.h"

namespace quillmere {

// The filmstrip picture of a photo file: 8-bit sRGB, upright, its longer side at most
// `longestSide` and never enlarged. A RAW file is developed from its sensor data at half size
// the way the preview develops it at the photo's neutral edit (as-shot white balance, no
// brightening, the develop pass's own rendering), so that it looks like the photo that opens; a
// JPEG or HEIC is decoded scaled. Whether a file is RAW or raster is judged by its name, which
// raster format by its data, as the decoder judges it. Nothing for a file that cannot be read or
// decoded, or whose name is no photo's; never throws.
std::optional<Rgb8Image> photoThumbnail(const std::filesystem::path& url,
                                        int longestSide = Thumbnail::maximumSide);

}  // namespace quillmere
