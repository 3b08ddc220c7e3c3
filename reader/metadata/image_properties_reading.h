#pragma once

#include <exiv2/exiv2.hpp>
#include <string_view>

#include "core/imageio/image_properties.h"

namespace quillmere {

// What an image Exiv2 read states through its EXIF, and its pixel size. The caller holds an
// Exiv2Lock. Never fails: whatever cannot be read is left out.
ImageProperties imagePropertiesOf(const Exiv2::Image& image);

// The properties of the JPEG in `jpeg`, read by Exiv2 from memory (the raster decoder's EXIF
// orientation). Never fails: anything but a JPEG Exiv2 can read has no properties.
ImageProperties readImagePropertiesData(std::string_view jpeg);

}  // namespace quillmere
