#include "core/render/develop/white_balance.h"

#include <cmath>

namespace quillmere {
namespace {

constexpr double kLowestKelvin = 1667;
constexpr double kHighestKelvin = 25000;

// One tint step moves green by 1/337 of a stop.
constexpr double kTintStepsPerStop = -337;

double cubic(double a3, double a2, double a1, double a0, double t) {
    return a3 * t * t * t + a2 * t * t + a1 * t + a0;
}

}  // namespace

Chromaticity planckianChromaticity(double kelvin) {
    // fmax before fmin: a NaN takes the lower bound instead of spreading into every gain.
    const double t = std::fmin(std::fmax(kelvin, kLowestKelvin), kHighestKelvin);
    const double u = 1000.0 / t;  // the published polynomials are in 10³ / T
    const double x = t <= 4000 ? cubic(-0.2661239, -0.2343589, 0.8776956, 0.179910, u)
                               : cubic(-3.0258469, 2.1070379, 0.2226347, 0.240390, u);
    double y;
    if (t <= 2222) {
        y = cubic(-1.1063814, -1.34811020, 2.18555832, -0.20219683, x);
    } else if (t <= 4000) {
        y = cubic(-0.9549476, -1.37418593, 2.09137015, -0.16748867, x);
    } else {
        y = cubic(3.0817580, -5.87338670, 3.75112997, -0.37001483, x);
    }
    return {x, y};
}

std::array<double, 3> planckianWhiteLinearSRGB(double kelvin) {
    const Chromaticity c = planckianChromaticity(kelvin);
    const double X = c.x / c.y;
    const double Y = 1;
    const double Z = (1 - c.x - c.y) / c.y;
    const std::array<double, 3> rgb{
        3.2404542 * X - 1.5371385 * Y - 0.4985314 * Z,
        -0.9692660 * X + 1.8760108 * Y + 0.0415560 * Z,
        0.0556434 * X - 0.2040259 * Y + 1.0572252 * Z,
    };
    return {std::fmax(rgb[0], 0.0001), std::fmax(rgb[1], 0.0001), std::fmax(rgb[2], 0.0001)};
}

std::array<float, 3> whiteBalanceGains(double temperature, double tint, double asShotTemperature,
                                       double asShotTint) {
    if (temperature == asShotTemperature && tint == asShotTint) return {1, 1, 1};
    const std::array<double, 3> asShot = planckianWhiteLinearSRGB(asShotTemperature);
    const std::array<double, 3> target = planckianWhiteLinearSRGB(temperature);
    const double green = asShot[1] / target[1];
    const std::array<double, 3> gains{
        (asShot[0] / target[0]) / green,
        std::exp2((tint - asShotTint) / kTintStepsPerStop),
        (asShot[2] / target[2]) / green,
    };
    std::array<float, 3> result;
    for (std::size_t i = 0; i < 3; ++i) {
        const auto gain = static_cast<float>(gains[i]);
        result[i] = std::isfinite(gain) && gain > 0 ? gain : 1.0f;
    }
    return result;
}

}  // namespace quillmere
