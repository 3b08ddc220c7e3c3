#pragma once

#include <cstdint>

#include "core/compute/texture.h"
#include "core/imageio/rgb8_image.h"

namespace quillmere {

// The 8-bit image a JPEG is encoded from, taken from a developed texture whose values are
// already display-encoded sRGB. Each channel is limited to 0...1 (NaN gives 0, since a NaN left
// by the develop passes must not become an arbitrary byte) and rounded to the nearest of 256
// levels; alpha is dropped. The texture's rows run bottom first, the image's top first, so the
// rows are flipped on the way. Throws std::bad_alloc when the image cannot be allocated.
Rgb8Image displayRgb8(const Texture& developed);

// The same for rows first ..< first + rows of that image (counted from the top), written to
// `rgb`, three bytes per pixel: a band of it, for encoders that take the image band by band.
void displayRgb8Rows(const Texture& developed, int first, int rows, std::uint8_t* rgb);

}  // namespace quillmere
