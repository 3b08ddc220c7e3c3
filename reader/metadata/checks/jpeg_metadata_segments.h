#pragma once

#include <string_view>

namespace quillmere::metadata {

// Checks the metadata segments of a JPEG as Exiv2 0.27 reads them, up to the scan data: the
// first EXIF segment's TIFF structure, the first XMP packet, the Photoshop segments' IPTC
// block, and the number of ICC profile segments (at most limits::jpegIccSegments). Throws
// MetadataRefusal when one of them passes its bound or Exiv2 would refuse to read the file.
void checkJpegMetadata(std::string_view file);

}  // namespace quillmere::metadata
