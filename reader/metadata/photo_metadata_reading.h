#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

#include "core/imageio/photo_metadata.h"

namespace quillmere {

// Everything a file (JPEG, HEIF, TIFF, DNG and the RAW formats Exiv2 reads) carries; nothing
// when it cannot be read. An XMP packet that does not parse reads as empty XMP; a JPEG's
// extended XMP is merged into its XMP when it is there whole.
std::optional<PhotoMetadata> readPhotoMetadata(const std::filesystem::path& file);
// The same for an image held in memory.
std::optional<PhotoMetadata> readPhotoMetadataData(std::string_view data);

// What an exported JPEG takes over from its source photo: the Exif photo tags without the
// maker note, GPS and IPTC; from the image directory only Make, Model, Software, DateTime,
// Artist, Copyright, ImageDescription, HostComputer and the resolution; orientation 1 (the
// export is upright). Never a thumbnail, strip or tile offsets, other sub-directories or the
// DNG tags of a RAW file, which would describe data the export does not hold. No XMP.
// Nothing when the source cannot be read.
std::optional<PhotoMetadata> readCaptureMetadata(const std::filesystem::path& source);

}  // namespace quillmere
