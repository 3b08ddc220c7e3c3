#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <type_traits>

#include <lcms2.h>

#include "core/imageio/color_profiles.h"

namespace quillmere {

// Converts decoded pixels from their colour space into extended linear sRGB (sRGB primaries and
// white, linear light) as 32-bit floats. RGB and grey input is converted in floating point,
// which LittleCMS does without clipping, so a wide-gamut colour outside sRGB keeps its negative
// or above-one components instead of being flattened onto the sRGB gamut.
class LinearSrgbTransform {
public:
    // How the decoder hands pixels over: RGB and grey as floats 0 to 1, CMYK as bytes, either
    // as stored or inverted (Adobe's CMYK JPEGs store 255 for no ink).
    enum class Input { rgbFloat, grayFloat, cmykBytes, invertedCmykBytes };

    // For pixels described by an embedded ICC profile; nothing when the profile does not parse
    // or does not describe pixels of this kind (the caller then assumes sRGB).
    static std::optional<LinearSrgbTransform> fromIccProfile(std::string_view profile, Input input);
    // For RGB pixels in the colour space with these primaries and curve. Throws ImageIOError
    // (corruptImage) when no transform can be built for them.
    static LinearSrgbTransform fromColorSpace(const RgbPrimaries& primaries, TransferCurve curve);

    // Converts `pixelCount` pixels (a row) of the input kind into three floats each.
    void convert(const void* input, float* linearRgb, std::uint32_t pixelCount) const;

private:
    struct TransformDeleter {
        void operator()(cmsHTRANSFORM transform) const { cmsDeleteTransform(transform); }
    };
    using Handle = std::unique_ptr<std::remove_pointer_t<cmsHTRANSFORM>, TransformDeleter>;

    explicit LinearSrgbTransform(Handle handle) : handle_(std::move(handle)) {}

    Handle handle_;
};

}  // namespace quillmere
