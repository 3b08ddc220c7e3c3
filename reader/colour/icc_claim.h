#pragma once

#include <string_view>

#include "reader/colour/linear_srgb_transform.h"

namespace quillmere {

// How a photo's pixels will be converted into linear light through its embedded ICC profile, told
// from the profile's header and tag table alone, before LittleCMS reads it: what the conversion
// will cost is what the photo's budget allows for it (LinearSrgbTransform says which profiles
// convert how).
enum class IccConversion {
    // Through tables, a lookup per sample: no profile, one that describes other pixels (the
    // pixels are then taken as sRGB), or a matrix-shaper profile.
    tables,
    // Through LittleCMS pixel by pixel: any other profile of the pixels' kind (lookup tables,
    // CMYK, or tags LittleCMS may read otherwise).
    perPixel,
};

// For samples of `input`.
IccConversion iccConversionOf(std::string_view profile, LinearSrgbTransform::Input input);

}  // namespace quillmere
