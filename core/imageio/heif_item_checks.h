#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillmere {

// What a HEIF file's boxes say about its image items, read before libheif decodes anything.
struct HeifItemChecks {
    // The longest side any image item states in its 'ispe' property. libheif sizes its buffers
    // from the coded pictures and the grid and overlay canvases, not from these: an item stating
    // 24 × 16 over a 13312 × 14848 picture makes it decode gigabytes, unless its size limit, set
    // from this, refuses the picture first.
    std::uint64_t longestStatedSide = 0;
    // Why libheif must not be given the file, as a sentence: its boxes cannot be read, an item
    // states more pixels than a photo may have, or a derived image is drawn from an item that is
    // not an image (libheif ends the process on that).
    std::optional<std::string> fault;
};

HeifItemChecks checkHeifItems(std::string_view file);

}  // namespace quillmere
