#pragma once

#include <cstdint>
#include <vector>

namespace quillmere {

// An 8-bit RGB image as a JPEG and the filmstrip take it: top row first, three bytes per pixel,
// no row padding.
struct Rgb8Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
};

}  // namespace quillmere
