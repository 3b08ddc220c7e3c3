#include "core/edit/edit_params.h"

#include <gtest/gtest.h>

#include <limits>
#include <tuple>

#include "tests/edit/coding_test_support.h"

namespace quillmere {
namespace {

using testing::decodingErrorOf;
using Kind = DecodingError::Kind;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

EditParams decoded(const char* text) { return EditParams::decode(json::parse(text)); }

json::Json repairJson(double x, double radius, const char* path = "[]") {
    json::Json repair = SpotRepair(UUID::random(), x, 0.5, radius, {}).encode();
    repair["path"] = json::parse(path);
    return repair;
}

// An edit with every coded field away from its default.
EditParams busyEdit() {
    EditParams edit = EditParams::neutral(6100, -7);
    edit.exposure = 1.25;
    edit.contrast = 20;
    edit.highlights = -40;
    edit.shadows = 35;
    edit.whites = 5;
    edit.blacks = -5;
    edit.vibrance = 12;
    edit.saturation = -8;
    edit.denoise = 250;
    edit.denoiseMethod = DenoiseMethod::matchFilter;
    edit.sharpening = SharpeningSettings::classic();
    edit.toneCurve.rgb = {{0, 10}, {128, 140}, {255, 245}};
    edit.hsl.hueFor(HSLAdjustments::Band::blue) = -30;
    edit.hsl.points = {PointColor(20, 0.6, 0.8)};
    edit.spotRepairs = {SpotRepair(UUID::random(), 0.4, 0.6, 0.03, {{0.41, 0.6}})};
    return edit;
}

TEST(DenoiseMethod, OnlyTheExactRawValuesNameMethods) {
    EXPECT_EQ(allDenoiseMethods, (std::array{DenoiseMethod::natural, DenoiseMethod::matchFilter}));
    for (DenoiseMethod method : allDenoiseMethods) {
        EXPECT_EQ(denoiseMethodFromRawValue(rawValue(method)), method);
        EXPECT_EQ(denoiseMethodFromRawValue(title(method)), std::nullopt);
    }
    EXPECT_EQ(title(DenoiseMethod::matchFilter), "Detail");
    EXPECT_EQ(denoiseMethodFromRawValue("matchfilter"), std::nullopt);
}

TEST(EditParams, DenoiseFractionIsBoundedAndZeroForNonFiniteAmounts) {
    const auto fractionOf = [](double denoise) {
        EditParams edit;
        edit.denoise = denoise;
        return edit.denoiseFraction();
    };
    for (double amount : {-5.0, kNaN, kInfinity, -kInfinity}) EXPECT_EQ(fractionOf(amount), 0.0f);
    EXPECT_EQ(fractionOf(37.5), 0.375f);
    EXPECT_EQ(fractionOf(100), 1.0f);
    EXPECT_EQ(fractionOf(150), 1.0f);
}

TEST(EditParamsCoding, MissingAndNullKeysKeepTheDefaults) {
    const EditParams defaults = decoded("{}");
    EXPECT_EQ(defaults, EditParams{});
    EXPECT_EQ(defaults.temperature, 5500);
    EXPECT_TRUE(defaults.toneCurve.isIdentity());
    EXPECT_TRUE(defaults.hsl.isNeutral());
    EXPECT_EQ(defaults.visualizePointIndex, -1);

    EXPECT_EQ(decoded(R"({"temperature": 4800, "visualizeBandIndex": 2, "other": [1]})"),
              EditParams::neutral(4800, 0));
    EXPECT_EQ(decoded(R"({"denoise": null, "toneCurve": null, "hsl": null, "spotRepairs": null})"),
              EditParams{});

    // Nested records clean their own values; the scalars stay as read.
    const EditParams unclamped =
        decoded(R"({"denoise": 250, "exposure": 20, "sharpening": {"amount": 500}})");
    EXPECT_EQ(std::tuple(unclamped.denoise, unclamped.exposure, unclamped.sharpening.amount),
              std::tuple(250.0, 20.0, 150.0));
}

TEST(EditParamsCoding, AnyPresentValueThatDoesNotDecodeFailsTheWholeEdit) {
    EXPECT_EQ(decodingErrorOf([] { decoded(R"({"denoise": "20"})"); }).kind(), Kind::typeMismatch);
    EXPECT_EQ(decodingErrorOf([] { decoded(R"({"denoiseMethod": "Detail"})"); }).kind(),
              Kind::dataCorrupted);
    EXPECT_EQ(decodingErrorOf([] { decoded("[]"); }).kind(), Kind::typeMismatch);
    EXPECT_EQ(
        decodingErrorOf([] { decoded(R"({"toneCurve": {"rgb": [], "red": [], "green": []}})"); })
            .codingPath()
            .dotted(),
        "toneCurve.blue");
    EXPECT_EQ(decodingErrorOf([] {
                  decoded(R"({"hsl": {"hue": [0,0,0,0,0,0,0,0], "saturation": [0,0,0,0,0,0,0,0],
                                      "luminance": [0,0,0]}})");
              })
                  .codingPath()
                  .dotted(),
              "hsl.luminance");

    json::Json withoutX = repairJson(0.5, 0.05);
    withoutX.erase("x");
    json::Json object = json::Json::object();
    object["spotRepairs"] = {repairJson(0.5, 0.05), withoutX};
    const auto error = decodingErrorOf([&] { EditParams::decode(object); });
    EXPECT_EQ(error.kind(), Kind::keyNotFound);
    EXPECT_EQ(error.codingPath().dotted(), "spotRepairs.Index 1.x");
}

TEST(EditParamsCoding, InvalidSpotRepairsAreDroppedInOrder) {
    const json::Json valid = repairJson(0.5, 0.05);
    const json::Json largestAllowed = repairJson(0.2, 0.1);
    json::Json object = json::Json::object();
    object["spotRepairs"] = {repairJson(0.5, 0.2), valid, repairJson(0.5, 0),
                             repairJson(0.5, 0.05, R"([{"x": 1.5, "y": 0.5}])"), largestAllowed};
    EXPECT_EQ(EditParams::decode(object).spotRepairs,
              (std::vector{SpotRepair::decode(valid), SpotRepair::decode(largestAllowed)}));
}

TEST(EditParamsCoding, WritesSixteenKeysAndRoundTripsWithoutTransientIndices) {
    const json::Json encoded = EditParams{}.encode();
    EXPECT_EQ(testing::keysOf(encoded),
              (std::vector<std::string>{"blacks", "contrast", "denoise", "denoiseMethod",
                                        "exposure", "highlights", "hsl", "saturation", "shadows",
                                        "sharpening", "spotRepairs", "temperature", "tint",
                                        "toneCurve", "vibrance", "whites"}));
    EXPECT_EQ(encoded["spotRepairs"], json::Json::array());
    EXPECT_EQ(encoded["denoiseMethod"], "natural");

    EditParams visualising = busyEdit();
    visualising.visualizeBandIndex = 3;
    const EditParams restored =
        EditParams::decode(json::parse(json::dumpPretty(visualising.encode())));
    EXPECT_EQ(restored.visualizeBandIndex, -1);
    EXPECT_NE(restored, visualising);
    visualising.visualizeBandIndex = -1;
    EXPECT_EQ(restored, visualising);
}

TEST(EditParamsCoding, OrderedEncodingWritesTheKeysInDeclarationOrder) {
    const EditParams edit = busyEdit();
    const json::OrderedJson ordered = edit.encodeOrdered();
    std::vector<std::string> keys;
    for (const auto& [key, value] : ordered.items()) keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"exposure", "contrast", "highlights", "shadows",
                                              "whites", "blacks", "temperature", "tint", "vibrance",
                                              "saturation", "denoise", "denoiseMethod",
                                              "sharpening", "toneCurve", "hsl", "spotRepairs"}));
    EXPECT_EQ(
        json::dumpCompact(ordered["sharpening"]),
        R"({"amount":40.0,"radius":1.0,"detail":25.0,"masking":0.0,"preserveRAWTexture":false})");
    EXPECT_EQ(ordered["hsl"].begin().key(), "hue");
    EXPECT_EQ(ordered["spotRepairs"][0].begin().key(), "id");
    // Only the order differs from the sorted form.
    EXPECT_EQ(json::Json(ordered), edit.encode());
}

}  // namespace
}  // namespace quillmere
