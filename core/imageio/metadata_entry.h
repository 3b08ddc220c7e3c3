#pragma once

#include <cstdint>
#include <string>

namespace quillmere {

// One EXIF or IPTC value as Exiv2 holds it: its key ("Exif.Photo.FNumber",
// "Iptc.Application2.Keywords"), its type (an Exiv2::TypeId) and its bytes in little-endian order.
// The photo reader reads a file's capture metadata into entries; the program rebuilds Exiv2's
// records from them (PhotoMetadata) without reading the file itself.
struct MetadataEntry {
    std::string key;
    std::uint32_t type = 0;
    std::string value;

    bool operator==(const MetadataEntry&) const = default;
};

}  // namespace quillmere
