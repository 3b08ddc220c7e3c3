#include "core/edit/preset_values.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <string>

namespace quillmere {
namespace {

using Kind = DecodingError::Kind;

std::set<std::string> keysOf(const json::Json& object) {
    std::set<std::string> keys;
    for (const auto& [key, value] : object.items()) keys.insert(key);
    return keys;
}

// An edit with every setting away from its default, so that any field a partial edit touches
// by mistake shows.
EditParams busyEdit() {
    EditParams edit;
    edit.exposure = 0.5;
    edit.contrast = 10;
    edit.highlights = -20;
    edit.shadows = 30;
    edit.whites = 5;
    edit.blacks = -5;
    edit.temperature = 5000;
    edit.tint = 10;
    edit.vibrance = 12;
    edit.saturation = -8;
    edit.denoise = 40;
    edit.denoiseMethod = DenoiseMethod::matchFilter;
    edit.sharpening = SharpeningSettings::classic();
    edit.toneCurve.rgb = {{0, 10}, {255, 250}};
    edit.hsl.blackAndWhite = true;
    edit.hsl.points.emplace_back(200, 0.5, 0.5);
    edit.visualizePointIndex = 0;
    edit.visualizeBandIndex = 3;
    edit.spotRepairs.emplace_back(UUID::random(), 0.5, 0.5, 0.05,
                                  std::vector<SpotRepair::Point>{{0.6, 0.6}});
    return edit;
}

TEST(PresetValuesApply, SetFieldsReplaceTheirSettingsUnclamped) {
    ToneCurve curve;
    curve.red = {{0, 0}, {128, 140}, {255, 255}};
    const PresetValues values{.exposure = 20,
                              .blacks = -300,
                              .saturation = 0,
                              .denoise = 250,
                              .denoiseMethod = DenoiseMethod::natural,
                              .toneCurve = curve,
                              .hsl = HSLAdjustments::neutral()};
    const EditParams edit = busyEdit();
    EditParams expected = edit;
    expected.exposure = 20;
    expected.blacks = -300;
    expected.saturation = 0;
    expected.denoise = 250;
    expected.denoiseMethod = DenoiseMethod::natural;
    expected.toneCurve = curve;  // all four channels, the master curve back to straight
    expected.hsl = HSLAdjustments::neutral();  // the points and the switch go too
    EXPECT_EQ(applying(edit, values), expected);
}

TEST(PresetValuesApply, RelativeWhiteBalanceStaysInRange) {
    EditParams edit;
    edit.temperature = 5000;
    EXPECT_DOUBLE_EQ(applying(edit, {.temperatureScale = 1.1}).temperature, 5500);
    EXPECT_EQ(applying(edit, {.temperatureScale = 0.1}).temperature, 2000);
    EXPECT_EQ(applying(edit, {.temperatureScale = 0.4}).temperature, 2000);
    edit.temperature = 48000;
    EXPECT_EQ(applying(edit, {.temperatureScale = 1.1}).temperature, 50000);
    EXPECT_TRUE(
        std::isnan(applying(edit, {.temperatureScale = std::numeric_limits<double>::quiet_NaN()})
                       .temperature));

    edit.tint = 145;
    EXPECT_EQ(applying(edit, {.tintShift = 10}).tint, 150);
    EXPECT_EQ(applying(edit, {.tintShift = -5}).tint, 140);
    edit.tint = -145;
    EXPECT_EQ(applying(edit, {.tintShift = -10}).tint, -150);
    // The relative form leaves the other half of the white balance alone.
    EXPECT_EQ(applying(edit, {.tintShift = 1}).temperature, 48000);
    EXPECT_EQ(applying(edit, {.temperatureScale = 1}).tint, -145);
}

TEST(PresetValuesApply, AbsoluteWhiteBalanceWinsAndIsNotClamped) {
    EditParams edit;
    edit.temperature = 5000;
    edit.tint = 10;
    EXPECT_EQ(applying(edit, {.temperature = 6000, .temperatureScale = 2}).temperature, 6000);
    EXPECT_EQ(applying(edit, {.temperature = 60000}).temperature, 60000);
    EXPECT_EQ(applying(edit, {.tint = 200, .tintShift = -50}).tint, 200);
}

TEST(PresetValuesCapture, EachOptionTakesItsOwnGroup) {
    const EditParams edit = busyEdit();
    struct Case {
        PresetCaptureOptions options;
        std::set<std::string> keys;
    };
    const Case cases[] = {
        {{.tone = true}, {"exposure", "contrast", "highlights", "shadows", "whites", "blacks"}},
        {{.whiteBalance = true}, {"temperature", "tint"}},
        {{.presence = true}, {"vibrance", "saturation"}},
        {{.toneCurve = true}, {"toneCurve"}},
        {{.colorMixer = true}, {"hsl"}},
        {{.denoise = true}, {"denoise", "denoiseMethod"}},
        {{.sharpening = true}, {"sharpening"}},
        {{}, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.options.hasSelection(), !c.keys.empty());
        const PresetValues values = PresetValues::capturing(edit, c.options);
        EXPECT_EQ(keysOf(values.encode()), c.keys);
    }
}

TEST(PresetValuesCapture, IdentityCurveAndBareNeutralMixerAreLeftOut) {
    EditParams edit;
    edit.toneCurve.rgb = {{0, 0}, {128, 128.00001}, {255, 255}};  // identity within tolerance
    const PresetCaptureOptions options{.toneCurve = true, .colorMixer = true};
    EXPECT_EQ(PresetValues::capturing(edit, options), PresetValues{});

    // A picked colour that shifts nothing yet is still kept.
    edit.hsl.points.emplace_back(30, 0.4, 0.6);
    ASSERT_TRUE(edit.hsl.isNeutral());
    EXPECT_EQ(PresetValues::capturing(edit, options), (PresetValues{.hsl = edit.hsl}));
}

TEST(PresetValuesChanges, EachChangedSettingAloneIsCarriedAtItsNewValue) {
    const EditParams before = busyEdit();
    const struct {
        void (*change)(EditParams&);
        PresetValues expected;
    } cases[] = {
        {[](EditParams& e) { e.exposure = 0.75; }, {.exposure = 0.75}},
        {[](EditParams& e) { e.blacks = -6; }, {.blacks = -6}},
        {[](EditParams& e) { e.temperature = 5100; }, {.temperature = 5100}},
        {[](EditParams& e) { e.tint = -2; }, {.tint = -2}},
        {[](EditParams& e) { e.saturation = 0; }, {.saturation = 0}},
        {[](EditParams& e) { e.denoise = 41; }, {.denoise = 41}},
        {[](EditParams& e) { e.denoiseMethod = DenoiseMethod::natural; },
         {.denoiseMethod = DenoiseMethod::natural}},
        {[](EditParams& e) { e.sharpening.preserveRAWTexture = true; },
         {.sharpening = SharpeningSettings{.amount = 40, .preserveRAWTexture = true}}},
        {[](EditParams& e) {
             e.toneCurve.blue = {{0, 5}, {255, 255}};
         },
         {}},
        {[](EditParams& e) { e.hsl.points[0].hueShift = 4; }, {}},
        // What a partial edit cannot hold travels as nothing.
        {[](EditParams& e) { e.spotRepairs.clear(); }, {}},
        {[](EditParams& e) { e.visualizeBandIndex = 5; }, {}},
        {[](EditParams&) {}, {}},
    };
    for (const auto& testCase : cases) {
        EditParams after = before;
        testCase.change(after);
        PresetValues expected = testCase.expected;
        if (after.toneCurve != before.toneCurve) expected.toneCurve = after.toneCurve;
        if (after.hsl != before.hsl) expected.hsl = after.hsl;
        EXPECT_EQ(PresetValues::changes(before, after), expected);
    }
    // Exact comparison: the smallest step still counts.
    EditParams nudged = before;
    nudged.contrast = std::nextafter(before.contrast, 100.0);
    EXPECT_EQ(PresetValues::changes(before, nudged), (PresetValues{.contrast = nudged.contrast}));
    EXPECT_TRUE(PresetValues::changes(before, before).isEmpty());
}

TEST(PresetValuesChanges, OverlayingTakesTheNewerSetFieldsButKeepsTheRelativeWhiteBalance) {
    const PresetValues older{.exposure = 1, .temperatureScale = 1.1, .hsl = HSLAdjustments{}};
    const PresetValues newer{.exposure = 2, .contrast = 3, .tintShift = 5, .vibrance = 7};
    EXPECT_EQ(older.overlaying(newer), (PresetValues{.exposure = 2,
                                                     .contrast = 3,
                                                     .temperatureScale = 1.1,
                                                     .vibrance = 7,
                                                     .hsl = HSLAdjustments{}}));
    EXPECT_EQ(older.overlaying(PresetValues{}), older);
}

TEST(PresetValuesChanges, AllReusableRecreatesAnotherPhotosEditButItsSpotRepairs) {
    const EditParams source = busyEdit();
    EditParams target;
    target.temperature = 3000;
    target.spotRepairs.emplace_back(UUID::random(), 0.1, 0.2, 0.01,
                                    std::vector<SpotRepair::Point>{});
    const EditParams result = applying(target, PresetValues::allReusable(source));
    EditParams expected = source;
    expected.spotRepairs = target.spotRepairs;
    expected.visualizePointIndex = -1;
    expected.visualizeBandIndex = -1;
    EXPECT_EQ(result, expected);
    // Neutral curve and mixer are carried too, so they reset the target's own.
    const PresetValues neutral = PresetValues::allReusable(EditParams{});
    EXPECT_EQ(neutral.toneCurve, ToneCurve::identity());
    EXPECT_EQ(neutral.hsl, HSLAdjustments::neutral());
    EXPECT_FALSE(neutral.temperatureScale || neutral.tintShift);
}

TEST(PresetValuesCoding, DecodingIsTolerantOfMissingButStrictAboutPresentValues) {
    EXPECT_EQ(PresetValues::decode(json::Json::object()), PresetValues{});
    EXPECT_EQ(PresetValues::decode(json::parse(R"({"exposure": null, "tint": 3, "unknown": "x"})")),
              (PresetValues{.tint = 3}));
    EXPECT_EQ(PresetValues::decode(json::parse(R"({"denoiseMethod": "matchFilter"})")),
              (PresetValues{.denoiseMethod = DenoiseMethod::matchFilter}));
    // Decoding a nested record applies its own cleaning.
    EXPECT_EQ(PresetValues::decode(json::parse(R"({"sharpening": {"amount": 500}})")).sharpening,
              (SharpeningSettings{.amount = 150}));

    const struct {
        const char* text;
        Kind kind;
    } failures[] = {
        {R"({"exposure": "bright"})", Kind::typeMismatch},
        {R"({"denoiseMethod": "Detail"})", Kind::dataCorrupted},
        {R"({"hsl": {"hue": [0], "saturation": [], "luminance": []}})", Kind::dataCorrupted},
    };
    for (const auto& failure : failures) {
        try {
            PresetValues::decode(json::parse(failure.text));
            ADD_FAILURE() << failure.text << " decoded";
        } catch (const DecodingError& error) {
            EXPECT_EQ(error.kind(), failure.kind) << failure.text;
        }
    }
}

}  // namespace
}  // namespace quillmere
