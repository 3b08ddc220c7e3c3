#pragma once

#include <QPointF>
#include <array>
#include <string_view>

#include "core/compute/texture.h"
#include "core/edit/hsl_adjustments.h"

// What the preview's colour tools compute: the colour under the pointer, and how a targeted
// adjustment spreads over the colour mixer's bands.
namespace quillmere::ColorSampling {

// Hue, saturation and brightness, each from 0 to 1 (hue as a fraction of a turn).
struct HSBColor {
    double hue = 0;
    double saturation = 0;
    double brightness = 0;
    bool operator==(const HSBColor&) const = default;
};

// The HSB colour of an sRGB value. Each component is first limited to 0...1, a NaN to 0: the
// develop passes can leave values outside or no number at all, and a point colour made of them
// could not be saved. Grey has hue 0.
HSBColor hsbColor(double red, double green, double blue);

// The colour of the one texel under an image-normalised point (x right, y down, 0 to 1): column
// ⌊x·W⌋ and, the texture's row 0 being the image's bottom, row ⌊(1 − y)·H⌋ from the bottom, each
// kept inside the texture.
HSBColor colorAt(const Texture& texture, QPointF imagePoint);

// One colour-mixer band's share of a targeted adjustment.
struct BandShare {
    HSLAdjustments::Band band;
    double weight;
};

// The two bands whose centres enclose `hueDegrees` (after magenta comes red at 360) and their
// smoothstep weights, which add up to 1: a hue on a band's centre moves that band alone, a hue
// halfway between two centres moves both by half.
std::array<BandShare, 2> bandShares(double hueDegrees);

// The band's mixer value a targeted adjustment of `channel` changes: its "Saturation", its
// "Luminance", or its hue for any other name.
double& channelValue(HSLAdjustments& hsl, std::string_view channel, HSLAdjustments::Band band);

// A band value moved by `delta` × `weight`, kept within -100...100.
double adjustedValue(double value, double delta, double weight);

}  // namespace quillmere::ColorSampling
