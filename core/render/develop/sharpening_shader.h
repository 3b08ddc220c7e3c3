#pragma once

#include "core/compute/kernel_library.h"

namespace quillmere {

// The kernels of the sharpening pass, which work on display-encoded colour and sharpen luminance
// only. Luminance is Rec. 709 of the encoded values. Reads outside an image repeat its edge
// texels. Every pass covers the texture it writes.
//
// "sharpen_horizontal": reads the image, writes the scales (red = fine, green = coarse Gaussian
//   of the luminance along the row).
// "sharpen_vertical": reads the horizontal scales, writes the scales with both Gaussians
//   continued along the column.
// "sharpen_apply": reads the image and the two-dimensional scales, writes the output. Adds one
//   luminance offset to all three channels of each pixel: the band-pass and finest detail, gated
//   against noise, masked to edges, bounded by the local 3 × 3 contrast, by ±0.075 and by the
//   channel range 0...1. Alpha passes through.
enum class SharpenScalesTexture { source = 0, scales = 1 };  // the two Gaussian passes
enum class SharpenApplyTexture { image = 0, output = 1, scales = 2 };
enum class SharpenBuffer {
    uniforms = 0,  // SharpenUniforms, every pass
    weights = 1,   // SharpenWeights, the two Gaussian passes
};

KernelLibrary makeSharpeningKernelLibrary();

}  // namespace quillmere
