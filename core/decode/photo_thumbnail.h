#pragma once

#include <filesystem>
#include <optional>

#include "core/imageio/thumbnail.h"

namespace quillmere {

// The filmstrip picture of a photo file: 8-bit sRGB, upright, its longer side at most
// `longestSide` and never enlarged. A RAW file is developed at half size from its sensor data,
// a JPEG or HEIC decoded scaled; the kind is judged by the file name. Nothing for a file that
// cannot be read or decoded, or whose name is no photo's; never throws.
std::optional<Rgb8Image> photoThumbnail(const std::filesystem::path& url,
                                        int longestSide = Thumbnail::maximumSide);

}  // namespace quillmere
