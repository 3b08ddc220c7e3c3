#pragma once

#include <string_view>

namespace quillmere::metadata {

// Checks an XMP packet before Exiv2's XMP parser takes it: at most as large as the largest packet
// the program writes (jpeg_extended_xmp::maxPacketSize; the parser copies it a few times), its
// elements and attributes (each becomes a node) at most limits::xmpItems, of which at most
// limits::xmpProperties properties of one element (each looked up among the others; array items
// are not), nested at most limits::xmpNesting deep, declaring at most limits::xmpNamespaces
// namespaces (Exiv2 registers each for the rest of the process), and no document type
// declaration (which the parser refuses anyway). A packet in UTF-16 or UTF-32 is read in its own
// coding, as the parser reads it. Throws MetadataRefusal otherwise.
void checkXmpPacket(std::string_view packet);

}  // namespace quillmere::metadata
