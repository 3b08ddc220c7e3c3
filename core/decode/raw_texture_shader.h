#pragma once

#include "core/compute/kernel_library.h"

namespace quillmere {

// The kernel source of the RAW-texture path: "raw_texture_chroma" smooths colour noise only.
// For each output pixel it averages, over a 7 × 7 window with edge texels repeated, each
// neighbour's colour difference from its own Rec. 709 luminance, weighted by distance and by how
// close the neighbour's luminance is to the pixel's, and adds that average to the pixel's own
// luminance. Luminance is therefore kept, colour only travels between pixels of similar
// brightness, and nothing is clamped (extended and negative values and alpha pass through).
// The grid covers the output.
enum class RAWTextureChromaTexture {
    input = 0,
    output = 1,  // written, the input's size
};

KernelLibrary makeRawTextureKernelLibrary();

}  // namespace quillmere
