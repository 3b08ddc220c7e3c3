#include "core/edit/edit_params.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "tests/edit/edit_test_support.h"

namespace quillmere {
namespace {

using testing::busyEdit;
using testing::decodingErrorOf;
using Kind = DecodingError::Kind;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

EditParams decoded(const char* text) { return EditParams::decode(json::parse(text)); }

json::Json repairJson(double x, double radius) {
    return SpotRepair(UUID::random(), x, 0.5, radius, {{x, 0.4}}).encode();
}

TEST(EditParams, DenoiseFractionIsBoundedAndZeroForNonFiniteAmounts) {
    const std::pair<double, float> cases[] = {{-5, 0},        {kNaN, 0}, {kInfinity, 0},
                                              {37.5, 0.375f}, {100, 1},  {150, 1}};
    for (const auto& [denoise, fraction] : cases) {
        EditParams edit;
        edit.denoise = denoise;
        EXPECT_EQ(edit.denoiseFraction(), fraction) << denoise;
    }
}

TEST(EditParamsCoding, MissingAndNullKeysKeepTheDefaultsAndPresentValuesMustDecode) {
    EXPECT_EQ(decoded(R"({"temperature": 4800, "visualizeBandIndex": 2, "other": [1]})"),
              EditParams::neutral(4800, 0));
    EXPECT_EQ(decoded(R"({"denoise": null, "toneCurve": null, "hsl": null, "spotRepairs": null})"),
              EditParams{});
    EXPECT_EQ(decodingErrorOf([] { decoded(R"({"denoise": "20"})"); }).kind(), Kind::typeMismatch);
    EXPECT_EQ(decodingErrorOf([] { decoded(R"({"denoiseMethod": "Detail"})"); }).kind(),
              Kind::dataCorrupted);
    json::Json withoutX = repairJson(0.5, 0.05);
    withoutX.erase("x");
    const json::Json object{{"spotRepairs", json::Json::array({withoutX})}};
    EXPECT_EQ(decodingErrorOf([&] { EditParams::decode(object); }).kind(), Kind::keyNotFound);
}

// A present value must have its field's JSON type, at any depth: a boolean is no number, a number
// is neither a boolean nor a string, and a list or an object stands only where one belongs.
TEST(EditParamsCoding, AValueOfAnotherJsonTypeFailsTheWholeEdit) {
    const std::string zeros = "[0, 0, 0, 0, 0, 0, 0, 0]";
    const std::string mixer = R"("saturation": )" + zeros + R"(, "luminance": )" + zeros;
    const std::string curve = R"("red": [], "green": [], "blue": [])";
    const std::string repair = R"("x": 0.5, "y": 0.5, "radius": 0.05)";
    const std::string texts[] = {
        R"({"exposure": true})",
        R"({"contrast": "10"})",
        R"({"tint": [3]})",
        R"({"denoise": {"amount": 3}})",
        R"({"denoiseMethod": 1})",
        R"({"sharpening": {"preserveRAWTexture": 1}})",
        R"({"sharpening": {"amount": false}})",
        R"({"sharpening": [40]})",
        R"({"toneCurve": {"rgb": {}, )" + curve + "}}",
        R"({"toneCurve": {"rgb": [{"x": "0", "y": 0}], )" + curve + "}}",
        R"({"hsl": {"hue": "0", )" + mixer + "}}",
        R"({"hsl": {"hue": [true, 0, 0, 0, 0, 0, 0, 0], )" + mixer + "}}",
        R"({"hsl": {"blackAndWhite": 1, "hue": )" + zeros + ", " + mixer + "}}",
        R"({"spotRepairs": {}})",
        R"({"spotRepairs": [{"id": 7, )" + repair + "}]}",
        R"({"spotRepairs": [{"id": "E621E1F8-C36C-495A-93FC-0C247A3E6E5F", "x": true, )"
        R"("y": 0.5, "radius": 0.05}]})",
        "[]",
        R"("edit")",
    };
    for (const std::string& text : texts) {
        EXPECT_EQ(decodingErrorOf([&] { decoded(text.c_str()); }).kind(), Kind::typeMismatch)
            << text;
    }
}

TEST(EditParamsCoding, InvalidSpotRepairsAreDroppedInOrder) {
    const json::Json valid = repairJson(0.5, 0.05), largestAllowed = repairJson(0.2, 0.1);
    const json::Json object{{"spotRepairs",
                             {repairJson(0.5, 0.11), valid, repairJson(0.5, 0),
                              repairJson(0.5, -0.01), repairJson(1.5, 0.05), largestAllowed}}};
    EXPECT_EQ(EditParams::decode(object).spotRepairs,
              (std::vector{SpotRepair::decode(valid), SpotRepair::decode(largestAllowed)}));
}

// Edit files and the clipboard keep the declaration order; only the order differs from the sorted
// form, and the transient visualisation index is never stored.
TEST(EditParamsCoding, RoundTripsInDeclarationOrderWithoutTransientIndices) {
    EditParams edit = busyEdit();
    edit.visualizeBandIndex = 3;
    const json::OrderedJson ordered = edit.encodeOrdered();
    const EditParams restored = EditParams::decode(json::parse(json::dumpPretty(ordered)));
    edit.visualizeBandIndex = -1;
    EXPECT_EQ(restored, edit);
    std::vector<std::string> keys;
    for (const auto& item : ordered.items()) keys.push_back(item.key());
    EXPECT_EQ(keys, (std::vector<std::string>{"exposure", "contrast", "highlights", "shadows",
                                              "whites", "blacks", "temperature", "tint", "vibrance",
                                              "saturation", "denoise", "denoiseMethod",
                                              "sharpening", "toneCurve", "hsl", "spotRepairs"}));
    EXPECT_EQ(
        json::dumpCompact(ordered["sharpening"]),
        R"({"amount":40.0,"radius":1.0,"detail":25.0,"masking":0.0,"preserveRAWTexture":false})");
    EXPECT_EQ(ordered["hsl"].begin().key(), "hue");
    EXPECT_EQ(ordered["spotRepairs"][0].begin().key(), "id");
    EXPECT_EQ(json::Json(ordered), edit.encode());
}

TEST(SharpeningSettings, SanitizedClampsAndGivesNonFiniteValuesTheirNeutralValue) {
    const SharpeningSettings nonFinite{
        .amount = kInfinity, .radius = kNaN, .detail = -kInfinity, .masking = kNaN};
    EXPECT_EQ(nonFinite.sanitized(), SharpeningSettings::neutral());
    const SharpeningSettings outOfRange{
        .amount = -3, .radius = 7, .detail = 101, .masking = -1, .preserveRAWTexture = true};
    EXPECT_EQ(outOfRange.sanitized(),
              (SharpeningSettings{.radius = 3, .detail = 100, .preserveRAWTexture = true}));
    EXPECT_EQ(SharpeningSettings::decode(json::parse(R"({"amount": 500, "radius": 0.1})")),
              (SharpeningSettings{.amount = 150, .radius = 0.5}));
}

}  // namespace
}  // namespace quillmere
