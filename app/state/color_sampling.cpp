#include "app/state/color_sampling.h"

#include <algorithm>
#include <cmath>

namespace quillmere::ColorSampling {
namespace {

// Limited to 0...1, NaN to 0.
double unitInterval(double value) { return value > 0 ? std::min(value, 1.0) : 0.0; }

// ⌊fraction · extent⌋ within 0 ..< extent.
int texelIndex(double fraction, int extent) {
    const double index = std::floor(fraction * extent);
    return static_cast<int>(std::clamp(index, 0.0, static_cast<double>(extent - 1)));
}

}  // namespace

HSBColor hsbColor(double red, double green, double blue) {
    const double r = unitInterval(red);
    const double g = unitInterval(green);
    const double b = unitInterval(blue);
    const double maximum = std::max({r, g, b});
    const double spread = maximum - std::min({r, g, b});
    HSBColor color{.saturation = maximum > 0 ? spread / maximum : 0, .brightness = maximum};
    if (spread > 0) {
        double sixths = maximum == r   ? (g - b) / spread
                        : maximum == g ? (b - r) / spread + 2
                                       : (r - g) / spread + 4;
        if (sixths < 0) sixths += 6;
        color.hue = sixths / 6;
        if (color.hue >= 1) color.hue = 0;  // a rounding of -0 + 6
    }
    return color;
}

HSBColor colorAt(const Texture& texture, QPointF imagePoint) {
    const int column = texelIndex(imagePoint.x(), texture.width());
    const int rowFromBottom = texelIndex(1 - imagePoint.y(), texture.height());
    const msl::float4 texel = texture.read(column, rowFromBottom);
    return hsbColor(texel.x, texel.y, texel.z);
}

std::array<BandShare, 2> bandShares(double hueDegrees) {
    std::size_t lower = 0;
    for (std::size_t index = 0; index < allBands.size(); ++index) {
        if (centerDegrees(allBands[index]) <= hueDegrees) lower = index;
    }
    const std::size_t upper = (lower + 1) % allBands.size();
    const double lowerCentre = centerDegrees(allBands[lower]);
    const double upperCentre = upper == 0 ? 360 : centerDegrees(allBands[upper]);
    const double t = unitInterval((hueDegrees - lowerCentre) / (upperCentre - lowerCentre));
    const double s = t * t * (3 - 2 * t);
    return {BandShare{allBands[lower], 1 - s}, BandShare{allBands[upper], s}};
}

double& channelValue(HSLAdjustments& hsl, std::string_view channel, HSLAdjustments::Band band) {
    if (channel == "Saturation") return hsl.saturationFor(band);
    if (channel == "Luminance") return hsl.luminanceFor(band);
    return hsl.hueFor(band);
}

double adjustedValue(double value, double delta, double weight) {
    return std::min(100.0, std::max(-100.0, value + delta * weight));
}

}  // namespace quillmere::ColorSampling
