#pragma once

#include <cstdint>
#include <functional>

#include "core/edit/spot_repair.h"

namespace quillmere {

// Cuts a painted stroke into the overlapping discs that the source search and the healing pass
// work on, for an image of width × height pixels. The first disc is the repair's own centre;
// then each segment of the path gets evenly spaced discs, about 0.4 radius apart, ending on the
// segment's end point (a point that repeats the previous one adds nothing). Every disc keeps the
// repair's id and radius and has an empty path.
//
// Discs are handed to `visit` one at a time instead of being collected, so a caller can poll
// for cancellation between them: a long stroke with a tiny radius is many discs. The spacing
// never drops below 0.4 pixel, which bounds their number by the stroke's length in pixels however
// small the radius is. An invalid repair yields no disc.
void forEachSpotRepairDisc(const SpotRepair& repair, std::int64_t width, std::int64_t height,
                           const std::function<void(const SpotRepair& disc)>& visit);

}  // namespace quillmere
