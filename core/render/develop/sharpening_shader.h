#pragma once

#include "core/compute/kernel_library.h"

namespace quillmere {

// The kernels of the sharpening pass, which work on display-encoded colour and sharpen luminance
// only. Luminance is Rec. 709 of the encoded values. Reads outside an image repeat its edge
// texels. Every pass has SharpenUniforms in buffer 0 and covers the texture it writes.
//
// "sharpen_horizontal": texture 0 = image (read), texture 1 = scales (written, red = fine, green
//   = coarse Gaussian of the luminance along the row), buffer 1 = SharpenWeights.
// "sharpen_vertical": texture 0 = the horizontal scales (read), texture 1 = scales (written),
//   buffer 1 = SharpenWeights; both Gaussians continued along the column.
// "sharpen_apply": texture 0 = image (read), texture 1 = output (written), texture 2 = the
//   two-dimensional scales. Adds one luminance offset to all three channels of each pixel: the
//   band-pass and finest detail, gated against noise, masked to edges, bounded by the local 3 × 3
//   contrast, by ±0.075 and by the channel range 0...1. Alpha passes through.
KernelLibrary makeSharpeningKernelLibrary();

}  // namespace quillmere
