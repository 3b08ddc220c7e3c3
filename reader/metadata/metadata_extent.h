#pragma once

#include <cstdint>
#include <string_view>

namespace quillmere {

// How many bytes of a photo file its metadata's readers (Exiv2, and the program's own reading of a
// HEIF file's EXIF and of a JPEG's extended XMP) read, bounded cheaply from the file's layout
// without reading any metadata:
// - a JPEG: everything before its first scan (or its end), which Exiv2 walks segment by segment,
//   reading each into memory: the EXIF, XMP, IPTC, ICC and comment segments among them;
// - an ISO base media file (HEIF, CR3): every top-level box but the media data ('mdat'), each of
//   which Exiv2 reads whole, and the EXIF and XMP items ('Exif' and 'mime') its 'meta' boxes
//   locate, which usually lie in the media data;
// - any other file (TIFF and the RAW files built on it, CRW, RAF, ...): the whole file.
// Never more than the file; a layout that cannot be followed counts the whole file.
std::uint64_t metadataExtentOf(std::string_view file);

}  // namespace quillmere
