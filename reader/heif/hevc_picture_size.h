#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "reader/heif/heif_items.h"

// What an HEVC stream's sequence parameter sets say of its picture size, read without a decoder:
// the decoder sizes its picture buffers from them, whatever a file's boxes state.
namespace quillmere::hevc_picture_size {

// The largest luma picture (before a conformance window crops it) that the sequence parameter
// sets the decoder is given for an item declare: those of its decoder configuration record
// ('hvcC' payload), then those of its data. libheif hands the decoder every NAL unit behind a
// four-byte length, whatever length size the record declares, so are the units read here. Nothing
// when the record cannot be read, a length runs past the data (libheif then decodes nothing), or a
// parameter set cannot be read or there is none: what cannot be measured is not decoded.
std::optional<heif::PixelSize> largestPicture(std::string_view hvcC, std::string_view data);

// How many bytes of the units the decoder is given for an item (read as largestPicture reads them)
// code pictures: the slice segments, NAL unit types 0 to 31. Parameter sets, SEI and units of a
// reserved or unspecified type code none, however large. Nothing where largestPicture reads
// nothing.
std::optional<std::uint64_t> codedSliceBytes(std::string_view hvcC, std::string_view data);

}  // namespace quillmere::hevc_picture_size
