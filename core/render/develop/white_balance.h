#pragma once

#include <array>

namespace quillmere {

// CIE 1931 chromaticity coordinates.
struct Chromaticity {
    double x = 0;
    double y = 0;
};

// The black body's chromaticity at `kelvin`, clamped to 1667...25000 K (a NaN counts as 1667 K),
// by the cubic approximation of the Planckian locus of Kim et al. (2002).
Chromaticity planckianChromaticity(double kelvin);

// The black body's colour at `kelvin` (clamped as above) in linear sRGB, scaled to luminance 1,
// each component at least 0.0001.
std::array<double, 3> planckianWhiteLinearSRGB(double kelvin);

// The red, green and blue gains that move the photo's white balance from the as-shot setting to
// `temperature` and `tint`. A temperature above the as-shot one warms the image and a higher tint
// lowers green; settings exactly at the as-shot values give (1, 1, 1), whatever the model says.
// A gain that comes out as no finite positive number (a tint that is not a number, or one far
// beyond any slider) is 1, so that channel is left as it is instead of turning black or NaN.
std::array<float, 3> whiteBalanceGains(double temperature, double tint, double asShotTemperature,
                                       double asShotTint);

}  // namespace quillmere
