#pragma once

#include <string_view>

namespace quillmere {

// What a raster photo's bytes hold, told by the data and never by the file's name, so that the
// decoder, the thumbnail and the image properties all take a file for the same thing: a file
// either opens and shows a thumbnail, or neither.
enum class RasterKind {
    jpeg,   // starts with a JPEG start-of-image marker
    heif,   // an ISO base media file whose brands name a HEIF image or image sequence
    other,
};

// A HEIF file is told by the brands of its opening 'ftyp' box (HeifFile::hasHeifBrand); libheif's
// own reading of the file refuses what it cannot decode.
RasterKind rasterKindOf(std::string_view bytes);

}  // namespace quillmere
