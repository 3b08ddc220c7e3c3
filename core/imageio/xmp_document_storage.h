#pragma once

// What an XmpDocument holds, for the code that parses a packet into Exiv2's records (the photo
// reader's reader/metadata/xmp_parsing.cpp).

#include <exiv2/exiv2.hpp>

#include "core/imageio/xmp_document.h"

namespace quillmere {

struct XmpDocument::Storage {
    Exiv2::XmpData data;
};

}  // namespace quillmere
