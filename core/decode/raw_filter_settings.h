#pragma once

#include <string>

namespace quillmere {

// How the RAW filter develops a photo. The development is scene-linear: no tone curve, no
// shadow lift, no gamut compression, no draft mode and no scaling, so those settings hold the one
// value that describes it, and the filter refuses any other (RawFilter::setSettings). It offers
// no sharpening, contrast, detail, local tone mapping or moiré reduction at all.
struct RawFilterSettings {
    // The only decoder version on offer (RawFilter::supportedDecoderVersions).
    std::string decoderVersion = "8";
    // Only 0: the development applies no tone curve.
    float boostAmount = 0.0f;
    // Exposure compensation in EV (-10...10), applied as a factor of 2^exposure.
    float exposure = 0.0f;
    // The file's own exposure offset in EV (-10...10; a DNG's BaselineExposure, else 0), applied
    // like `exposure`. A new filter starts with the file's value.
    float baselineExposure = 0.0f;
    // Only 0: the shadows are not moved.
    float shadowBias = 0.0f;
    // Only false: colours outside sRGB are kept as they are.
    bool gamutMappingEnabled = false;
    // 0 to 2: at 0 the image is clipped at 1 (standard dynamic range); above 0 values above 1
    // are kept.
    float extendedDynamicRangeAmount = 0.0f;
    // Only false: there is no faster, rougher development.
    bool draftModeEnabled = false;
    // Only 1: the image is developed at its full size.
    float scaleFactor = 1.0f;
    // 0 to 1: how much luminance and colour noise the development removes.
    float luminanceNoiseReductionAmount = 0.0f;
    float colorNoiseReductionAmount = 0.0f;

    bool operator==(const RawFilterSettings&) const = default;
};

}  // namespace quillmere
