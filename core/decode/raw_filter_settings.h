#pragma once

#include <string>

namespace quillmere {

// What a RAW filter develops with. A new filter starts from its own defaults for the file (the
// camera's baseline exposure, its default tone mapping and noise reduction); the RAW loader then
// sets the values its decode path needs.
struct RAWFilterSettings {
    // One of the filter's supportedDecoderVersions().
    std::string decoderVersion;
    float boostAmount = 1.0f;
    float exposure = 0.0f;
    float baselineExposure = 0.0f;
    float localToneMapAmount = 0.0f;
    float shadowBias = 0.0f;
    bool gamutMappingEnabled = true;
    float extendedDynamicRangeAmount = 0.0f;
    bool draftModeEnabled = false;
    float scaleFactor = 1.0f;
    float luminanceNoiseReductionAmount = 0.0f;
    float colorNoiseReductionAmount = 0.0f;
    float sharpnessAmount = 0.0f;
    float contrastAmount = 0.0f;
    float detailAmount = 0.0f;
    float moireReductionAmount = 0.0f;

    bool operator==(const RAWFilterSettings&) const = default;
};

}  // namespace quillmere
