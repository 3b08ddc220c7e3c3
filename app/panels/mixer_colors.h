#pragma once

#include <QColor>
#include <string_view>
#include <vector>

#include "core/edit/hsl_adjustments.h"

namespace quillmere {

// The colours the colour mixer paints with.

// A band's own colour: its centre hue at saturation 0.65 and brightness 0.85.
QColor bandColor(HSLAdjustments::Band band);
// The gradient under a band's slider, left to right: grey to the band colour for "Saturation",
// black through the band colour to white for "Luminance", and for the hue the hues 30 degrees
// either side of the band's centre (saturation 0.6, brightness 0.8).
std::vector<QColor> track(HSLAdjustments::Band band, std::string_view channel);
// A picked point colour as its swatch shows it. A decoded point may hold any numbers: the hue is
// taken round the circle (not a number: 0), saturation and brightness are kept within 0...1.
QColor swatchColor(const PointColor& point);
// A hue in degrees as QColor's fraction of a turn, in 0...1: wrapped round the circle, and 0 for
// what is not a number (QColor would refuse it).
float hueFraction(double degrees);

}  // namespace quillmere
