#pragma once

#include <string>
#include <string_view>

namespace quillmere {

// The chromaticities of an RGB colour space's primaries and white point (CIE 1931 xy).
struct RgbPrimaries {
    double redX, redY, greenX, greenY, blueX, blueY, whiteX, whiteY;
    bool operator==(const RgbPrimaries&) const = default;
};

inline constexpr RgbPrimaries srgbPrimaries{0.640, 0.330, 0.300, 0.600, 0.150,
                                            0.060, 0.3127, 0.3290};

// How an RGB colour space encodes light: the curve from an encoded value to linear light.
enum class TransferCurve { sRGB, bt709, linear, gamma22, gamma28 };

// The name a standard sRGB profile gives itself, which viewers show for an image that carries it.
inline constexpr std::string_view srgbProfileDescription = "sRGB IEC61966-2.1";

// An ICC profile (version 4, matrix and curves) of the RGB colour space with these primaries and
// curve, named `description` (ASCII) and claiming no copyright, serialised as it is embedded in
// image files; the same arguments always give the same bytes. Throws ImageIOError
// (encodingFailed) when LittleCMS cannot build it.
std::string iccProfileData(const RgbPrimaries& primaries, TransferCurve curve,
                           std::string_view description);

}  // namespace quillmere
