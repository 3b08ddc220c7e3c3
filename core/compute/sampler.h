#pragma once

#include <cmath>

#include "core/compute/msl_math.h"
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

// The two texels a pixel coordinate falls between along one axis of `size` texels (the second
// is the first at the far edge), and the weight of the second: what samplePixel reads.
struct AxisTaps {
    int first;
    int second;
    float weight;
};
// Clamping before the conversion keeps infinite and NaN positions defined.
inline AxisTaps taps(float position, int size) {
    const float centred = msl::clamp(position - 0.5f, 0.0f, static_cast<float>(size - 1));
    const float floor = std::floor(centred);
    const int first = static_cast<int>(floor);
    return {first, first + 1 < size ? first + 1 : first, centred - floor};
}

// What samplePixel gives at `position` from the two texture rows its vertical taps name, already
// read as floats: for passes that sample along rows and read whole rows at once.
inline msl::float4 sampleRows(const msl::float4* firstRow, const msl::float4* secondRow,
                              const AxisTaps& x, float rowWeight) {
    const msl::float4 bottom = msl::mix(firstRow[x.first], firstRow[x.second], x.weight);
    const msl::float4 top = msl::mix(secondRow[x.first], secondRow[x.second], x.weight);
    return msl::mix(bottom, top, rowWeight);
}
msl::float4 sampleNormalized(const Texture& texture, msl::float2 coordinates);

}  // namespace quillmere
