#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillmere {

// What a HEIF file's boxes say about its primary image, read before libheif decodes anything.
// libheif sizes its buffers from the coded pictures and the grid and overlay canvases, not from
// the sizes the items state: an item stating 24 × 16 over a 13312 × 14848 picture would make it
// decode gigabytes. The items it decodes for the primary image (the image, the grid tiles, overlay
// inputs and alpha channel it is made from) are checked here; items it does not decode
// (thumbnails, a size no item uses) say nothing.
struct HeifItemChecks {
    // The longest side those items state in their 'ispe' property, for libheif's size limit.
    std::uint64_t longestStatedSide = 0;
    // Why libheif must not be given the file, as a sentence: its boxes cannot be read; one of
    // those items states no size, a side of zero or more pixels than a photo may have, holds a
    // coded picture (as its HEVC parameter sets declare it) or a canvas larger than it states, or
    // is drawn from itself; or a derived image is drawn from an item that is not an image
    // (libheif ends the process on that).
    std::optional<std::string> fault;
};

HeifItemChecks checkHeifItems(std::string_view file);

}  // namespace quillmere
