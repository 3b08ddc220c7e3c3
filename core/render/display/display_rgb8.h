#pragma once

#include "core/compute/texture.h"
#include "core/imageio/jpeg_encoder.h"

namespace quillmere {

// The 8-bit image a JPEG is encoded from, taken from a developed texture whose values are
// already display-encoded sRGB. Each channel is limited to 0...1 (NaN gives 0, since a NaN left
// by the develop passes must not become an arbitrary byte) and rounded to the nearest of 256
// levels; alpha is dropped. The texture's rows run bottom first, the image's top first, so the
// rows are flipped on the way. Throws std::bad_alloc when the image cannot be allocated.
Rgb8Image displayRgb8(const Texture& developed);

}  // namespace quillmere
