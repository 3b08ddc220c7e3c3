#pragma once

#include <optional>

namespace quillmere {

// A white point as a photographer sets it: the correlated colour temperature in kelvin, and the
// tint, the distance from the Planckian locus along the isotemperature line in units of 1/3000 of
// the CIE 1960 uv plane, positive on the green side (where fluorescent light lies; a photo
// corrects it with magenta).
struct TemperatureTint {
    double temperature = 0.0;
    double tint = 0.0;

    bool operator==(const TemperatureTint&) const = default;
};

// The temperature and tint of the CIE 1931 chromaticity (x, y) by Robertson's method, between
// the isotemperature lines of infinite temperature and 1667 K (points beyond them take the line's
// temperature). Nothing when (x, y) is not a chromaticity (not finite, or on the line where the
// uv transform has no value).
std::optional<TemperatureTint> temperatureTint(double x, double y);

}  // namespace quillmere
