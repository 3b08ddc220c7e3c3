#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "core/edit/edit_params.h"

namespace quillmere {

// The edit of a photo as a stack of layers, one per group of develop settings, in stack order.
// Each layer can say whether it changes the photo, summarise its values in one line, and be
// neutralised for a before/after view (bypass) or a reset.
enum class EditLayer {
    spotRepair,
    denoise,
    sharpening,
    temperature,
    tint,
    exposure,
    contrast,
    highlights,
    shadows,
    whites,
    blacks,
    vibrance,
    saturation,
    toneCurve,
    colorMixer,
};

inline constexpr std::array<EditLayer, 15> allEditLayers{
    EditLayer::spotRepair, EditLayer::denoise,   EditLayer::sharpening, EditLayer::temperature,
    EditLayer::tint,       EditLayer::exposure,  EditLayer::contrast,   EditLayer::highlights,
    EditLayer::shadows,    EditLayer::whites,    EditLayer::blacks,     EditLayer::vibrance,
    EditLayer::saturation, EditLayer::toneCurve, EditLayer::colorMixer};

// The case name: "spotRepair", "denoise", ...
std::string_view rawValue(EditLayer layer);
// Exactly one of the fifteen case names; anything else gives nothing.
std::optional<EditLayer> editLayerFromRawValue(std::string_view rawValue);
// "Spot Repair", "Denoise", ..., "Color Mixer".
std::string_view title(EditLayer layer);

// The white balance a photo shows untouched: the camera's as-shot values, or the edit defaults
// (5500 K, tint 0) when no photo is open. Temperature and tint are judged and reset against it.
struct NeutralWhiteBalance {
    double temperature = 5500;
    double tint = 0;
};

// Whether the layer changes the photo: spot repairs present; a denoise amount other than 0;
// sanitised sharpening above 0 or RAW texture kept; temperature 0.5 K or more from neutral; tint
// 0.005 or more from neutral; exposure of magnitude 0.005 or more; any other slider not exactly
// 0; a curve that is not the identity; a mixer that is not neutral.
bool isActive(EditLayer layer, const EditParams& params, NeutralWhiteBalance neutral);

// The layer's one-line summary, locale-free: "2 strokes", "40 · Detail", "40 · 1.0 px · RAW",
// "5500 K", "+7", "-0.40", "Custom", "3 values · 1 points".
std::string valueText(EditLayer layer, const EditParams& params);

// Sets the layer's settings in `params` to what shows the photo without it: no spot repairs,
// denoise amount 0 (method kept), sharpening amount 0 without RAW texture (radius, detail and
// masking kept), the neutral white balance, sliders 0, the identity curve, the neutral mixer.
void bypass(EditLayer layer, EditParams& params, NeutralWhiteBalance neutral);

}  // namespace quillmere
