#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quillmere {

// Makes the XMP packet for the new directory from the packet the file's IFD0 carried (nothing
// when it carried none). An empty result means the new directory gets no XMP entry.
using XMPPacketBuilder = std::function<std::string(std::optional<std::string_view> existingPacket)>;

// Gives a classic TIFF-based DNG a new first image directory (IFD0) that carries a new XMP
// packet and, when `includeSoftware`, the Software tag "Quillmere".
//
// Every byte of `dng` stays where it is except the header's IFD0 offset: the new values and the
// new directory are appended, and the new directory keeps the old entries' bytes (and so their
// offsets into the unchanged data). The old XMP and Software entries are dropped from it.
//
// Throws DNGExportError::invalidDNG for anything but a classic little- or big-endian TIFF whose
// IFD0 lies inside the data and has a DNGVersion tag, for an XMP value outside the data, and for
// a result whose offsets would pass 32 bits. Throws whatever `buildPacket` throws.
std::string rewriteDNGDirectory(std::string dng, const XMPPacketBuilder& buildPacket,
                                bool includeSoftware);

}  // namespace quillmere
