#pragma once

#include <array>

#include "core/decode/luma_chroma_denoiser.h"
#include "rawbridge/qx_raw.h"

namespace quillmere {

// The noise of a packed sensor plane, per channel R, G1, B, G2 in the plane's normalised units:
// a sample at level v carries noise of variance read + shot × v.
struct SensorNoiseProfile {
    std::array<float, 4> shot{};
    std::array<float, 4> read{};

    // The bridge's fit of the file's noise. A channel for which the fit found too few flat
    // patches takes the mean of the channels it did fit; values that are not finite or below 0
    // count as 0.
    static SensorNoiseProfile fromMetadata(const QXRAWMetadata& metadata);

    bool operator==(const SensorNoiseProfile&) const = default;
};

// Writes `source`, a packed plane of packedWidth × packedHeight quads R, G1, B, G2 (rows top
// first), into `destination` with its noise reduced: each quad is split into its brightness, the
// difference of its greens (luminance detail) and its red and blue differences from green
// (colour), and those are filtered by reduceNoise with the noise the profile gives at the quad's
// own levels. Working on the quads before demosaicing sees the sensor's noise as it is: white,
// and of the variance the profile states. Throws std::bad_alloc when the working memory is not
// there.
void reduceSensorNoise(const float* source, float* destination, int packedWidth, int packedHeight,
                       const SensorNoiseProfile& noise, NoiseReductionAmounts amounts);

}  // namespace quillmere
