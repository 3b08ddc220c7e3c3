#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillmere {

// What a HEIF file's boxes say about its primary image, read before libheif decodes anything.
struct HeifItemChecks {
    // The longest side that the primary image and the images it is made from (grid tiles,
    // overlay inputs, the source of an identity-derived image) state in their 'ispe' property.
    // libheif sizes its buffers from the coded pictures and the grid and overlay canvases, not
    // from these: an item stating 24 × 16 over a 13312 × 14848 picture makes it decode gigabytes,
    // unless its size limit, set from this, refuses the picture first. Items the primary image
    // does not use (thumbnails, an unused 'ispe') are never decoded and say nothing here.
    std::uint64_t longestStatedSide = 0;
    // Why libheif must not be given the file, as a sentence: its boxes cannot be read, the
    // primary image or one it is made from states no size, a side of zero or more pixels than a
    // photo may have, or is drawn from itself, or a derived image is drawn from an item that is not
    // an image (libheif ends the process on that).
    std::optional<std::string> fault;
};

HeifItemChecks checkHeifItems(std::string_view file);

}  // namespace quillmere
