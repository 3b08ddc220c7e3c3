#pragma once

#include <cstdint>

#include "core/compute/msl_vector.h"

namespace quillmere {

// Where a repair point lands in a texture of width × height pixels. Repairs are stored with y
// from the top of the photo, while RGB textures hold the bottom row first, so the vertical axis
// flips. The search, the coverage mask and the healing pass all go through this one mapping, so a
// disc is healed exactly where its source was searched for.
inline msl::float2 spotRepairPixelPosition(double x, double y, std::int64_t width,
                                           std::int64_t height) {
    return {static_cast<float>(width) * static_cast<float>(x),
            static_cast<float>(height) * (1.0f - static_cast<float>(y))};
}

}  // namespace quillmere
