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

// The bytes of the slice segments among the units the decoder is given for an item (read as
// largestPicture reads them): those libde265 decodes, and those it leaves out.
struct SliceBytes {
    std::uint64_t decoded = 0;
    std::uint64_t leftOut = 0;
    bool operator==(const SliceBytes&) const = default;
};

// How many bytes of those units code pictures as libde265 decodes them, unit by unit in order:
// slice segments (NAL unit types 0 to 31) of the base layer and temporal layer 0, neither of a
// reserved type nor skipped leading pictures (RASL), whose headers name a picture parameter set
// read before them and drawn from a sequence parameter set read before that, lie in a picture
// begun before them, and code an intra slice, as far as their headers tell. Every other slice
// segment, such as one of another layer, which libde265 drops unread, is left out, and counted
// apart; parameter sets, SEI and units of a reserved or unspecified type code nothing, however
// large. Where libde265 might decode a segment or not, it is left out. Nothing where
// largestPicture reads nothing.
std::optional<SliceBytes> codedSliceBytes(std::string_view hvcC, std::string_view data);

}  // namespace quillmere::hevc_picture_size
