#include "core/compute/sampler.h"

#include <cmath>

#include "core/compute/msl_math.h"

namespace quillmere {

msl::float4 samplePixel(const Texture& texture, msl::float2 position) {
    const AxisTaps x = taps(position.x, texture.width());
    const AxisTaps y = taps(position.y, texture.height());
    const msl::float4 bottom =
        msl::mix(texture.read(x.first, y.first), texture.read(x.second, y.first), x.weight);
    const msl::float4 top =
        msl::mix(texture.read(x.first, y.second), texture.read(x.second, y.second), x.weight);
    return msl::mix(bottom, top, y.weight);
}

msl::float4 sampleNormalized(const Texture& texture, msl::float2 coordinates) {
    return samplePixel(texture, {coordinates.x * static_cast<float>(texture.width()),
                                 coordinates.y * static_cast<float>(texture.height())});
}

}  // namespace quillmere
