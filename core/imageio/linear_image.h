#pragma once

#include <cstdint>
#include <vector>

#include "core/common/uninitialized_allocator.h"

namespace quillmere {

// A decoded photo in memory: extended linear sRGB as RGBA 32-bit floats (alpha 1), upright (its
// orientation applied), bottom row first (row 0 is the image's bottom row), rows packed without
// padding. Values below 0 and above 1 are colours outside sRGB and are kept.
struct LinearImage {
    int width = 0;
    int height = 0;
    // Left unset when made, so that a decoder's memory grows with the rows it writes.
    std::vector<float, UninitializedAllocator<float>> rgba;

    // The largest image a decoder will allocate: 2^28 pixels (4 GiB of floats), beyond any
    // camera's photo; a file claiming more is refused before anything is allocated.
    static constexpr std::int64_t maxPixelCount = std::int64_t{1} << 28;
};

}  // namespace quillmere
