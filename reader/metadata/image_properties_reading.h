#pragma once

#include <filesystem>
#include <string_view>

#include "core/imageio/image_properties.h"

namespace quillmere {

// What a file states through its EXIF, read by Exiv2. Never fails: an unreadable file has no
// properties.
ImageProperties readImageProperties(const std::filesystem::path& file);
// The same for an image held in memory.
ImageProperties readImagePropertiesData(std::string_view data);

}  // namespace quillmere
