#pragma once

#include <optional>
#include <string_view>

#include "core/imageio/xmp_document.h"

namespace quillmere {

// The properties of an XMP packet a file carries, parsed by Exiv2's XMP toolkit: only the photo
// reader parses a file's XMP. Nothing when the packet is not well-formed XMP.
std::optional<XmpDocument> parseXmpPacket(std::string_view packet);

}  // namespace quillmere
