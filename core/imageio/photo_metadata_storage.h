#pragma once

// What a PhotoMetadata holds, for the code that builds one from Exiv2's own records.

#include <exiv2/exiv2.hpp>

#include "core/imageio/photo_metadata.h"

namespace quillmere {

struct PhotoMetadata::Storage {
    Exiv2::ExifData exif;
    Exiv2::IptcData iptc;
};

}  // namespace quillmere
