#include "core/edit/built_in_presets.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace quillmere {
namespace {

// Each built-in preset as it should be: its set scalar fields, its master curve as [x, y] pairs
// and its non-zero mixer values by band name.
struct ExpectedPreset {
    const char* folder;
    const char* name;
    const char* scalars;
    const char* curve = nullptr;
    const char* mixer = nullptr;
};

const ExpectedPreset kExpected[] = {
    {"Essentials", "Punch", R"({"contrast": 25, "shadows": 8, "vibrance": 25})"},
    {"Essentials", "Crisp", R"({"contrast": 30, "highlights": -20, "vibrance": 15})"},
    {"Essentials", "Soft Light", R"({"contrast": -20, "highlights": -35, "shadows": 30})"},
    {"Essentials", "Matte", R"({"contrast": -22, "shadows": 35, "saturation": -12})"},
    {"Black & White", "B&W Standard", R"({"contrast": 15, "saturation": -100})"},
    {"Black & White", "B&W High Contrast",
     R"({"contrast": 45, "highlights": -15, "shadows": 10, "saturation": -100})"},
    {"Black & White", "B&W Soft", R"({"contrast": -10, "shadows": 25, "saturation": -100})"},
    {"Film", "Analog A6",
     R"({"exposure": 0.15, "contrast": -12, "highlights": -20, "shadows": 28,
         "temperatureScale": 1.06, "vibrance": 6, "saturation": -10})",
     "[[0, 12], [255, 248]]", R"({"saturation": {"green": -25, "aqua": -15}})"},
    {"Film", "Fade F2", R"({"contrast": -15, "shadows": 20, "vibrance": -8, "saturation": -18})",
     "[[0, 22], [64, 72], [192, 200], [255, 240]]", R"({"saturation": {"green": -15}})"},
    {"Film", "Mood M5",
     R"({"exposure": -0.1, "contrast": -8, "highlights": -25, "shadows": 32,
         "temperatureScale": 1.1, "tintShift": 4, "saturation": -15})",
     "[[0, 18], [128, 122], [255, 242]]", R"({"saturation": {"blue": -20}})"},
    {"Film", "Chrome C1",
     R"({"contrast": 18, "highlights": -12, "shadows": 10, "vibrance": 28, "saturation": 4})"},
    {"Film", "Portrait G3",
     R"({"contrast": -6, "highlights": -30, "shadows": 20, "temperatureScale": 1.05,
         "tintShift": 3, "vibrance": 10, "saturation": -6})",
     nullptr, R"({"saturation": {"green": -20}, "luminance": {"orange": 10}})"},
    {"Film", "Street HB1",
     R"({"contrast": 22, "highlights": -15, "shadows": 12, "temperatureScale": 0.93,
         "tintShift": -5, "saturation": -18})",
     "[[0, 10], [140, 132], [255, 245]]", R"({"saturation": {"green": -30, "aqua": -20}})"},
    {"Film", "Vintage KA1",
     R"({"contrast": 28, "highlights": -18, "shadows": -5, "temperatureScale": 1.07,
         "vibrance": 15, "saturation": -4})",
     "[[0, 8], [96, 84], [192, 205], [255, 250]]", R"({"saturation": {"yellow": 12}})"},
    // Its explicit saturation 0 resets a photo's saturation.
    {"Film", "Palm Springs",
     R"({"exposure": 0.45, "contrast": -18, "highlights": -25, "shadows": 30,
         "temperatureScale": 1.08, "tintShift": -2, "vibrance": 15, "saturation": 0})",
     "[[0, 28], [64, 86], [160, 192], [255, 238]]",
     R"({"hue": {"green": -15},
         "saturation": {"red": 10, "orange": 10, "green": -20, "aqua": -25, "blue": -30},
         "luminance": {"yellow": 5, "blue": 10}})"},
    {"Film", "Downtown",
     R"({"contrast": 25, "highlights": -20, "shadows": 8, "temperatureScale": 1.02,
         "vibrance": 25, "saturation": 5})",
     "[[0, 4], [64, 56], [180, 196], [255, 252]]",
     R"({"hue": {"aqua": 8},
         "saturation": {"red": 10, "orange": 15, "green": -10, "aqua": 15, "blue": 30},
         "luminance": {"orange": 5, "blue": -15}})"},
    {"Rescue", "Recover Highlights", R"({"highlights": -80, "shadows": 15})"},
    {"Rescue", "Lift Shadows", R"({"contrast": 5, "shadows": 60})"},
    {"Rescue", "Night High-ISO",
     R"({"exposure": 1.2, "highlights": -40, "shadows": 25, "vibrance": 10})"},
};

json::Json curvePoints(const json::Json& pairs) {
    json::Json points = json::Json::array();
    for (const auto& pair : pairs) points.push_back({{"x", pair[0]}, {"y", pair[1]}});
    return points;
}

json::Json bandList(const json::Json& valuesByBand) {
    static const std::array<const char*, 8> kBandNames{"red",  "orange", "yellow", "green",
                                                       "aqua", "blue",   "purple", "magenta"};
    json::Json list = json::Json::array();
    for (const char* band : kBandNames) list.push_back(valuesByBand.value(band, 0.0));
    return list;
}

// The whole JSON form the preset's values must encode to: the curve on the master channel with
// the colour channels straight, the mixer without point colours or black and white.
json::Json expectedJson(const ExpectedPreset& preset) {
    json::Json object = json::parse(preset.scalars);
    if (preset.curve) {
        const json::Json identity = json::parse(R"([{"x": 0, "y": 0}, {"x": 255, "y": 255}])");
        object["toneCurve"] = {{"rgb", curvePoints(json::parse(preset.curve))},
                               {"red", identity},
                               {"green", identity},
                               {"blue", identity}};
    }
    if (preset.mixer) {
        const json::Json mixer = json::parse(preset.mixer);
        object["hsl"] = {{"blackAndWhite", false},
                         {"points", json::Json::array()},
                         {"hue", bandList(mixer.value("hue", json::Json::object()))},
                         {"saturation", bandList(mixer.value("saturation", json::Json::object()))},
                         {"luminance", bandList(mixer.value("luminance", json::Json::object()))}};
    }
    return object;
}

// Four read-only folders in their own order, nineteen presets each setting exactly its values.
TEST(BuiltInPresets, EveryPresetSetsExactlyItsValuesInItsFolder) {
    std::size_t index = 0;
    for (const PresetFolder& folder : BuiltInPresets::folders()) {
        EXPECT_TRUE(folder.isBuiltIn) << folder.name;
        for (const Preset& preset : folder.presets) {
            ASSERT_LT(index, std::size(kExpected));
            const ExpectedPreset& expected = kExpected[index++];
            SCOPED_TRACE(expected.name);
            EXPECT_EQ(folder.name, expected.folder);
            EXPECT_EQ(preset.folder, expected.folder);
            EXPECT_EQ(preset.name, expected.name);
            EXPECT_EQ(preset.values.encode(), expectedJson(expected));
        }
    }
    EXPECT_EQ(index, std::size(kExpected));
}

}  // namespace
}  // namespace quillmere
