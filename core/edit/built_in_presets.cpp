#include "core/edit/built_in_presets.h"

#include <initializer_list>
#include <string>

namespace quillmere::BuiltInPresets {
namespace {

using Band = HSLAdjustments::Band;

struct BandValue {
    Band band;
    double value;
};

// The master curve through `points`; the colour channels stay straight.
ToneCurve masterCurve(std::vector<CurvePoint> points) {
    ToneCurve curve;
    curve.rgb = std::move(points);
    return curve;
}

// A colour mixer with the listed band values; every other band is 0. No point colours, colour.
HSLAdjustments mixer(std::initializer_list<BandValue> hue,
                     std::initializer_list<BandValue> saturation,
                     std::initializer_list<BandValue> luminance) {
    HSLAdjustments adjustments;
    for (const BandValue& entry : hue) adjustments.hueFor(entry.band) = entry.value;
    for (const BandValue& entry : saturation) adjustments.saturationFor(entry.band) = entry.value;
    for (const BandValue& entry : luminance) adjustments.luminanceFor(entry.band) = entry.value;
    return adjustments;
}

PresetFolder folder(const std::string& name,
                    std::initializer_list<std::pair<std::string, PresetValues>> presets) {
    PresetFolder result{.name = name, .isBuiltIn = true, .presets = {}};
    for (const auto& [presetName, values] : presets) {
        result.presets.push_back({.name = presetName, .folder = name, .values = values});
    }
    return result;
}

// White balance is only ever relative, so a preset suits photos shot in any light; the black and
// white looks go through saturation rather than the mixer's switch.
std::vector<PresetFolder> makeFolders() {
    return {
        folder("Essentials",
               {
                   {"Punch", {.contrast = 25, .shadows = 8, .vibrance = 25}},
                   {"Crisp", {.contrast = 30, .highlights = -20, .vibrance = 15}},
                   {"Soft Light", {.contrast = -20, .highlights = -35, .shadows = 30}},
                   {"Matte", {.contrast = -22, .shadows = 35, .saturation = -12}},
               }),
        folder("Black & White",
               {
                   {"B&W Standard", {.contrast = 15, .saturation = -100}},
                   {"B&W High Contrast",
                    {.contrast = 45, .highlights = -15, .shadows = 10, .saturation = -100}},
                   {"B&W Soft", {.contrast = -10, .shadows = 25, .saturation = -100}},
               }),
        folder("Film",
               {
                   {"Analog A6",
                    {.exposure = 0.15,
                     .contrast = -12,
                     .highlights = -20,
                     .shadows = 28,
                     .temperatureScale = 1.06,
                     .vibrance = 6,
                     .saturation = -10,
                     .toneCurve = masterCurve({{0, 12}, {255, 248}}),
                     .hsl = mixer({}, {{Band::green, -25}, {Band::aqua, -15}}, {})}},
                   {"Fade F2",
                    {.contrast = -15,
                     .shadows = 20,
                     .vibrance = -8,
                     .saturation = -18,
                     .toneCurve = masterCurve({{0, 22}, {64, 72}, {192, 200}, {255, 240}}),
                     .hsl = mixer({}, {{Band::green, -15}}, {})}},
                   {"Mood M5",
                    {.exposure = -0.1,
                     .contrast = -8,
                     .highlights = -25,
                     .shadows = 32,
                     .temperatureScale = 1.1,
                     .tintShift = 4,
                     .saturation = -15,
                     .toneCurve = masterCurve({{0, 18}, {128, 122}, {255, 242}}),
                     .hsl = mixer({}, {{Band::blue, -20}}, {})}},
                   {"Chrome C1",
                    {.contrast = 18,
                     .highlights = -12,
                     .shadows = 10,
                     .vibrance = 28,
                     .saturation = 4}},
                   {"Portrait G3",
                    {.contrast = -6,
                     .highlights = -30,
                     .shadows = 20,
                     .temperatureScale = 1.05,
                     .tintShift = 3,
                     .vibrance = 10,
                     .saturation = -6,
                     .hsl = mixer({}, {{Band::green, -20}}, {{Band::orange, 10}})}},
                   {"Street HB1",
                    {.contrast = 22,
                     .highlights = -15,
                     .shadows = 12,
                     .temperatureScale = 0.93,
                     .tintShift = -5,
                     .saturation = -18,
                     .toneCurve = masterCurve({{0, 10}, {140, 132}, {255, 245}}),
                     .hsl = mixer({}, {{Band::green, -30}, {Band::aqua, -20}}, {})}},
                   {"Vintage KA1",
                    {.contrast = 28,
                     .highlights = -18,
                     .shadows = -5,
                     .temperatureScale = 1.07,
                     .vibrance = 15,
                     .saturation = -4,
                     .toneCurve = masterCurve({{0, 8}, {96, 84}, {192, 205}, {255, 250}}),
                     .hsl = mixer({}, {{Band::yellow, 12}}, {})}},
                   // Sets saturation to 0 on purpose: it resets the photo's saturation.
                   {"Palm Springs",
                    {.exposure = 0.45,
                     .contrast = -18,
                     .highlights = -25,
                     .shadows = 30,
                     .temperatureScale = 1.08,
                     .tintShift = -2,
                     .vibrance = 15,
                     .saturation = 0,
                     .toneCurve = masterCurve({{0, 28}, {64, 86}, {160, 192}, {255, 238}}),
                     .hsl = mixer({{Band::green, -15}},
                                  {{Band::red, 10},
                                   {Band::orange, 10},
                                   {Band::green, -20},
                                   {Band::aqua, -25},
                                   {Band::blue, -30}},
                                  {{Band::yellow, 5}, {Band::blue, 10}})}},
                   {"Downtown",
                    {.contrast = 25,
                     .highlights = -20,
                     .shadows = 8,
                     .temperatureScale = 1.02,
                     .vibrance = 25,
                     .saturation = 5,
                     .toneCurve = masterCurve({{0, 4}, {64, 56}, {180, 196}, {255, 252}}),
                     .hsl = mixer({{Band::aqua, 8}},
                                  {{Band::red, 10},
                                   {Band::orange, 15},
                                   {Band::green, -10},
                                   {Band::aqua, 15},
                                   {Band::blue, 30}},
                                  {{Band::orange, 5}, {Band::blue, -15}})}},
               }),
        folder("Rescue",
               {
                   {"Recover Highlights", {.highlights = -80, .shadows = 15}},
                   {"Lift Shadows", {.contrast = 5, .shadows = 60}},
                   {"Night High-ISO",
                    {.exposure = 1.2, .highlights = -40, .shadows = 25, .vibrance = 10}},
               }),
    };
}

}  // namespace

const std::vector<PresetFolder>& folders() {
    static const std::vector<PresetFolder> builtIns = makeFolders();
    return builtIns;
}

}  // namespace quillmere::BuiltInPresets
