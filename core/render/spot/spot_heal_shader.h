#pragma once

#include <cstdint>

#include "core/compute/kernel_library.h"
#include "core/compute/msl_vector.h"

namespace quillmere {

// The parameters of one healed disc (HealSpotBuffer::uniforms). Positions and the radius are in
// pixels of the image being healed.
struct SpotUniforms {
    msl::float2 target;  // the disc's centre
    msl::float2 source;  // the centre of the patch cloned into it
    float radius;
    std::uint32_t originX;  // the patch's corner in the image (texture rows)
    std::uint32_t originY;
    std::uint32_t sampleCount;  // boundary positions (HealSpotBuffer::boundary)
};
static_assert(sizeof(SpotUniforms) == 32, "the uniforms are mirrored field for field");

// The healing kernel source: "heal_spot" computes one patch texel per thread for the disc
// described by the uniforms. Inside the disc it clones the image from the source side, adds the
// colour difference between target and source along the boundary (spread with inverse-square
// weights, so the nearest boundary points dominate), clamps to 0...1 and feathers the result
// into the image from 72 % of the radius to the rim. At or beyond the radius the texel is the
// image's own, bit for bit; alpha is always the image's own.
//
// The patch's corner lies inside the image. The grid covers the patch.
enum class HealSpotTexture { image = 0 /* read */, patch = 1 /* written */ };  // RGBA16Float
enum class HealSpotBuffer {
    uniforms = 0,  // SpotUniforms
    boundary = 1,  // sampleCount target-side boundary positions as float2; unbound when none
};

KernelLibrary makeSpotHealingKernelLibrary();

}  // namespace quillmere
