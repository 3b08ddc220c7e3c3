#pragma once

// The check every reader of a photo's metadata passes before Exiv2 reads it: what Exiv2 would
// make of the file's metadata must be bounded by what the file holds. Each container is walked as
// Exiv2 0.27 walks it, down to the EXIF, XMP and IPTC it decodes, without decoding anything.

#include <string_view>

#include "reader/metadata/checks/xmp_structure.h"

namespace quillmere::metadata {

// The containers whose metadata the program lets Exiv2 read, by the image type Exiv2 gives the
// file's bytes. Exiv2 reads TIFF, DNG, NEF, NRW, ARW, SR2, SRF, PEF, SRW, 3FR, ERF, DCR, KDC,
// MOS, IIQ and the other TIFF-based RAW formats as one type.
enum class MetadataContainer { jpeg, tiff, cr2, orf, raf, mrw, crw };

// Checks the metadata of `file`, read by Exiv2 as `container`. Throws MetadataRefusal, saying
// which bound the file passes, when Exiv2 would make more of it than it holds, or would refuse
// to read it.
void checkMetadata(MetadataContainer container, std::string_view file);

// Checks an EXIF block from its TIFF header on, as Exiv2 decodes a block handed to it.
void checkExifBlock(std::string_view exif);

}  // namespace quillmere::metadata
