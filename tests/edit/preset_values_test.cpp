#include "core/edit/preset_values.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <string>

#include "tests/edit/edit_test_support.h"

namespace quillmere {
namespace {

using testing::busyEdit;
using ::testing::NanSensitiveDoubleEq;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A relative white balance ends within what the controls offer, except that a product that is not
// a number stays one rather than passing for a bound; an absolute one is taken as it is.
// Sharpening arrives sanitised.
TEST(PresetValuesApply, RelativeWhiteBalanceStaysInRangeAndAbsoluteWinsUnclamped) {
    const PresetValues tooSharp{.sharpening = SharpeningSettings{.amount = 500, .radius = 0.1}};
    const PresetValues notFinite{
        .sharpening = SharpeningSettings{.amount = kNaN, .detail = -4, .masking = 101}};
    const struct {
        double temperature, tint;
        PresetValues values;
        double expectedTemperature, expectedTint;
        SharpeningSettings expectedSharpening{};
    } cases[] = {
        {5000, 0, {.temperatureScale = 1.1}, 5500, 0},
        {5000, 0, {.temperatureScale = 0.1}, 2000, 0},
        {5000, 0, {.temperatureScale = 0.4}, 2000, 0},
        {48000, 0, {.temperatureScale = 1.1}, 50000, 0},
        {5000, 145, {.tintShift = 10}, 5000, 150},
        {5000, 145, {.tintShift = -5}, 5000, 140},
        {5000, -145, {.tintShift = -10}, 5000, -150},
        {5000, 10, {.temperature = 60000, .temperatureScale = 2}, 60000, 10},
        {5000, 10, {.tint = 200, .tintShift = -50}, 5000, 200},
        {5000, 10, {.temperatureScale = kNaN}, kNaN, 10},
        {5000, 10, {.tintShift = kNaN}, 5000, kNaN},
        {5000, 10, tooSharp, 5000, 10, {.amount = 150, .radius = 0.5}},
        {5000, 10, notFinite, 5000, 10, {.detail = 0, .masking = 100}},
    };
    for (const auto& c : cases) {
        const EditParams result = applying(EditParams::neutral(c.temperature, c.tint), c.values);
        EXPECT_THAT(result.temperature, NanSensitiveDoubleEq(c.expectedTemperature));
        EXPECT_THAT(result.tint, NanSensitiveDoubleEq(c.expectedTint));
        EXPECT_EQ(result.sharpening, c.expectedSharpening);
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

// A mixer is captured when it changes colours or holds picked point colours, even ones that shift
// nothing yet; a neutral mixer without points stays out.
TEST(PresetValuesCapture, AMixerIsCapturedWhileItChangesColoursOrHoldsPointColours) {
    const struct {
        const char* name;
        void (*change)(HSLAdjustments&);
        bool captured;
    } cases[] = {
        {"neutral", [](HSLAdjustments&) {}, false},
        {"one unshifted point", [](HSLAdjustments& m) { m.points.emplace_back(30, 0.4, 0.6); },
         true},
        {"a point's variance",
         [](HSLAdjustments& m) {
             m.points.emplace_back(30, 0.4, 0.6);
             m.points.back().variance = 10;
         },
         true},
        {"black and white", [](HSLAdjustments& m) { m.blackAndWhite = true; }, true},
        {"one band", [](HSLAdjustments& m) { m.luminance[6] = 0.5; }, true},
    };
    for (const auto& c : cases) {
        EditParams edit;
        c.change(edit.hsl);
        const PresetValues captured =
            PresetValues::capturing(edit, {.tone = true, .colorMixer = true});
        EXPECT_EQ(captured.hsl, c.captured ? std::optional(edit.hsl) : std::nullopt) << c.name;
        EXPECT_EQ(captured.exposure, 0.0) << c.name;
        EXPECT_EQ(PresetValues::capturing(edit, {.tone = true}).hsl, std::nullopt) << c.name;
    }
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
