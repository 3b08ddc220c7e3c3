#pragma once

#include "core/compute/msl_vector.h"
#include "core/compute/texture.h"

namespace quillmere {

// Bilinear sampling with clamp-to-edge addressing, as a GPU's linear sampler does it. Texel
// (i, j) has its centre at (i + 0.5, j + 0.5) in pixel coordinates, or ((i + 0.5) / width,
// (j + 0.5) / height) in normalised ones: sampling exactly at a centre returns that texel, and
// positions beyond the outer centres return the edge texels (no fading to black). A NaN
// coordinate samples the first texel of its axis. Channels absent from the format read as 0
// (alpha as 1).
msl::float4 samplePixel(const Texture& texture, msl::float2 position);
msl::float4 sampleNormalized(const Texture& texture, msl::float2 coordinates);

}  // namespace quillmere
