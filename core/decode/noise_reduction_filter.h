#pragma once

#include <memory>

#include "core/compute/device.h"

namespace quillmere {

// The noise filter for developed photos (raster photos and LibRaw developments), the
// edge-preserving filter of reduceNoise at full luminance and colour amounts over the texture's
// red, green and blue (alpha is copied).
//
// `noiseLevel` is the standard deviation of the noise on a square-root scale of the linear values,
// the scale on which photographic noise is roughly even from shadows to highlights: a linear value
// v is taken to carry noise of variance 4 × noiseLevel² × v, and black that of noiseLevel⁴ (the
// variance at which the square root of v would vary by noiseLevel).
//
// Returns a new texture of the source's size, pixel format, usage and storage mode; nullptr when
// the memory for it or for the filter's work is not there.
std::shared_ptr<Texture> reduceTextureNoise(const Texture& source, const Device& device,
                                            float noiseLevel);

}  // namespace quillmere
