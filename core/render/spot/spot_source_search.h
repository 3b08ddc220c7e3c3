#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "core/edit/spot_repair.h"
#include "core/render/spot/spot_repair_kernel.h"
#include "core/render/spot/spot_repair_mask.h"

namespace quillmere {

// Chooses the clean source patch for one disc: of 192 candidate centres on six rings around the
// disc, the one that lies wholly off every repair and inside the image and whose surroundings
// best match the disc's own surroundings (in structure along the boundary, in mean colour, and
// in how flat its inside is). `pixels` is the reference image read back as RGBA halves, row 0
// first, mask.width × mask.height texels. No result when fewer than three boundary points around
// the disc are clean, or when no candidate is acceptable.
std::optional<SpotRepairKernel::Placement> findSpotRepairSource(
    const SpotRepair& disc, const SpotRepairMask& mask, std::span<const std::uint16_t> pixels);

}  // namespace quillmere
