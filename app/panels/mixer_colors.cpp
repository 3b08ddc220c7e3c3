#include "app/panels/mixer_colors.h"

#include <algorithm>
#include <cmath>

namespace quillmere {
namespace {

float unit(double value) {
    return std::isnan(value) ? 0.0f : static_cast<float>(std::clamp(value, 0.0, 1.0));
}

}  // namespace

float hueFraction(double degrees) {
    if (!std::isfinite(degrees)) return 0;
    double wrapped = std::fmod(degrees, 360.0);
    // fmod keeps the sign: red's lower neighbour, -30, is 330.
    if (wrapped < 0) wrapped += 360;
    return static_cast<float>(wrapped / 360);
}

QColor bandColor(HSLAdjustments::Band band) {
    return QColor::fromHsvF(hueFraction(centerDegrees(band)), 0.65f, 0.85f);
}

std::vector<QColor> track(HSLAdjustments::Band band, std::string_view channel) {
    if (channel == "Saturation") return {QColor(Qt::gray), bandColor(band)};
    if (channel == "Luminance") return {QColor(Qt::black), bandColor(band), QColor(Qt::white)};
    const double centre = centerDegrees(band);
    std::vector<QColor> colors;
    for (double hue : {centre - 30, centre, centre + 30}) {
        colors.push_back(QColor::fromHsvF(hueFraction(hue), 0.6f, 0.8f));
    }
    return colors;
}

QColor swatchColor(const PointColor& point) {
    return QColor::fromHsvF(hueFraction(point.hue), unit(point.saturation), unit(point.brightness));
}

}  // namespace quillmere
