#pragma once

#include <array>
#include <cstdint>

#include "rawbridge/qx_raw.h"

namespace quillmere {

// The sensor noise the bridge fitted, per colour-filter channel R, G1, B, G2: a sample whose clean
// value is x has the variance readVariance + shot × x (normalised units).
struct NativeRAWNoiseProfile {
    std::array<float, 4> shot{};
    std::array<float, 4> readVariance{};
    // Flat patches the fit found; below 32 the other two are fixed stand-ins, not measurements.
    std::array<std::int32_t, 4> sampleCounts{};

    bool operator==(const NativeRAWNoiseProfile&) const = default;
};

// The bridge's sensor record of one RAW file, as qx_raw_read filled it, with typed views. `raw`
// is kept whole because developing the sensor hands it back to the bridge unchanged.
struct NativeRAWMetadata {
    QXRAWMetadata raw{};

    int width() const { return raw.width; }
    int height() const { return raw.height; }
    int packedWidth() const { return raw.packed_width; }
    int packedHeight() const { return raw.packed_height; }
    int cropX() const { return raw.crop_x; }
    int cropY() const { return raw.crop_y; }
    int cropWidth() const { return raw.crop_width; }
    int cropHeight() const { return raw.crop_height; }
    // The developed image's size, after the crop and the orientation.
    int outputWidth() const { return raw.output_width; }
    int outputHeight() const { return raw.output_height; }
    // LibRaw's flip code: 4 transposes, 2 mirrors the rows, 1 mirrors the columns.
    int orientation() const { return raw.orientation; }
    float iso() const { return raw.iso; }
    // Raw counts per channel R, G1, B, G2.
    std::array<float, 4> blackLevels() const { return std::to_array(raw.black); }
    std::array<float, 4> whiteLevels() const { return std::to_array(raw.white); }
    // The as-shot multipliers, unnormalised.
    std::array<float, 4> cameraWhiteBalance() const {
        return std::to_array(raw.camera_white_balance);
    }
    NativeRAWNoiseProfile noiseProfile() const {
        return {std::to_array(raw.noise_shot), std::to_array(raw.noise_read_variance),
                std::to_array(raw.noise_samples)};
    }
};

}  // namespace quillmere
