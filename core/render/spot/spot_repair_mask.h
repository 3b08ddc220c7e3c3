#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "core/compute/msl_vector.h"
#include "core/edit/spot_repair.h"

namespace quillmere {

// Which pixels of an image are painted over by any repair, kept as a summed-area table so that
// the source search can ask in constant time whether a square is free of repairs.
struct SpotRepairMask {
    // Marks every pixel of a width × height image whose centre lies within m·radius + 1 pixels
    // (m the shorter side) of a repair's stroke, each stroke being a chain of capsules through its
    // points. Expects valid repairs (the caller filters them). `shouldCancel` is polled before
    // each capsule and each row of the table; true throws CancellationError. Throws
    // std::invalid_argument for a size below 1 × 1 or one whose pixel count a 32-bit table cannot
    // hold.
    SpotRepairMask(const std::vector<SpotRepair>& repairs, std::int64_t width, std::int64_t height,
                   const std::function<bool()>& shouldCancel);

    // True when the square [⌊c − r⌋, ⌈c + r⌉) in both axes lies inside the image and holds no
    // covered pixel. Centre and radius in pixels.
    bool isClean(msl::float2 center, float radius) const;

    std::int64_t width;
    std::int64_t height;
    // (width + 1) × (height + 1) entries, row-major: entry (x, y) counts the covered pixels in
    // columns 0 ..< x of rows 0 ..< y, so the first row and column are zero.
    std::vector<std::int32_t> integral;
};

}  // namespace quillmere
