#include "core/edit/preset_values.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>

#include "tests/edit/edit_test_support.h"

namespace quillmere {
namespace {

using testing::busyEdit;

TEST(PresetValuesApply, RelativeWhiteBalanceStaysInRangeAndAbsoluteWinsUnclamped) {
    const struct {
        double temperature, tint;
        PresetValues values;
        double expectedTemperature, expectedTint;
    } cases[] = {
        {5000, 0, {.temperatureScale = 1.1}, 5500, 0},
        {5000, 0, {.temperatureScale = 0.1}, 2000, 0},
        {48000, 0, {.temperatureScale = 1.1}, 50000, 0},
        {5000, 145, {.tintShift = 10}, 5000, 150},
        {5000, -145, {.tintShift = -10}, 5000, -150},
        {5000, 10, {.temperature = 60000, .temperatureScale = 2}, 60000, 10},
        {5000, 10, {.tint = 200, .tintShift = -50}, 5000, 200},
    };
    for (const auto& c : cases) {
        const EditParams result = applying(EditParams::neutral(c.temperature, c.tint), c.values);
        EXPECT_DOUBLE_EQ(result.temperature, c.expectedTemperature);
        EXPECT_DOUBLE_EQ(result.tint, c.expectedTint);
    }
}

TEST(PresetValuesCapture, EachOptionTakesItsOwnGroupButNoIdentityCurve) {
    const EditParams edit = busyEdit();
    const std::pair<PresetCaptureOptions, std::set<std::string>> cases[] = {
        {{.tone = true}, {"exposure", "contrast", "highlights", "shadows", "whites", "blacks"}},
        {{.whiteBalance = true, .presence = true},
         {"temperature", "tint", "vibrance", "saturation"}},
        {{.toneCurve = true, .colorMixer = true}, {"toneCurve", "hsl"}},
        {{.denoise = true, .sharpening = true}, {"denoise", "denoiseMethod", "sharpening"}},
    };
    for (const auto& [options, expected] : cases) {
        const json::Json captured = PresetValues::capturing(edit, options).encode();
        std::set<std::string> keys;
        for (const auto& [key, value] : captured.items()) keys.insert(key);
        EXPECT_EQ(keys, expected);
    }
    EditParams plain;
    plain.toneCurve.rgb = {{0, 0}, {128, 128.00001}, {255, 255}};  // identity within tolerance
    EXPECT_EQ(PresetValues::capturing(plain, {.toneCurve = true}), PresetValues{});
}

TEST(PresetValuesChanges, ChangedSettingsAreCarriedAtTheirNewValuesButRepairsAreNot) {
    const EditParams before = busyEdit();
    EditParams after = before;
    after.contrast = std::nextafter(before.contrast, 100.0);  // compared exactly
    after.hsl.points[0].hueShift = 4;                         // the whole mixer travels
    after.spotRepairs.clear();  // what a partial edit cannot hold travels as nothing
    EXPECT_EQ(PresetValues::changes(before, after),
              (PresetValues{.contrast = after.contrast, .hsl = after.hsl}));
}

TEST(PresetValuesChanges, OverlayingKeepsTheRelativeWhiteBalanceAndAllReusableSkipsRepairs) {
    const PresetValues older{.exposure = 1, .temperatureScale = 1.1};
    EXPECT_EQ(older.overlaying({.exposure = 2, .tintShift = 5}),
              (PresetValues{.exposure = 2, .temperatureScale = 1.1}));

    // Every setting of a plain edit replaces the busy one, the neutral curve and mixer included
    // (the mixer's points and switch go too); only the repairs stay.
    const EditParams target = busyEdit();
    EditParams expected;
    expected.spotRepairs = target.spotRepairs;
    EXPECT_EQ(applying(target, PresetValues::allReusable(EditParams{})), expected);
}

TEST(PresetValuesCoding, DecodingIsTolerantOfMissingButStrictAboutPresentValues) {
    EXPECT_EQ(PresetValues::decode(json::parse(R"({"exposure": null, "tint": 3, "unknown": "x"})")),
              (PresetValues{.tint = 3}));
    for (const char* text : {R"({"exposure": "bright"})", R"({"denoiseMethod": "Detail"})",
                             R"({"hsl": {"hue": [0], "saturation": [], "luminance": []}})"}) {
        testing::decodingErrorOf([&] { PresetValues::decode(json::parse(text)); });
    }
}

}  // namespace
}  // namespace quillmere
