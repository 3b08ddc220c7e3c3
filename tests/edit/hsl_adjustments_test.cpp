#include "core/edit/hsl_adjustments.h"

#include <gtest/gtest.h>

#include <limits>

#include "tests/edit/edit_test_support.h"

namespace quillmere {
namespace {

using testing::decodingErrorOf;
using Kind = DecodingError::Kind;
using Band = HSLAdjustments::Band;

json::Json mixerJson() {
    return json::parse(R"({"hue": [0, 0, 0, 0, 0, 0, 0, 0],
                           "saturation": [1, 2, 150, 4, 5, -250, 7, 8],
                           "luminance": [-1, -2, -3, -4, -5, -6, -7, -8], "points": null})");
}

TEST(HSLAdjustmentsBand, RawValuesAndCentres) {
    const double centres[] = {0, 30, 60, 120, 180, 240, 285, 330};
    for (std::size_t index = 0; index < allBands.size(); ++index) {
        EXPECT_EQ(bandFromRawValue(static_cast<std::int64_t>(index)), allBands[index]);
        EXPECT_EQ(centerDegrees(allBands[index]), centres[index]);
    }
    EXPECT_EQ(decodingErrorOf([] { decodeBand(json::Json(8)); }).kind(), Kind::dataCorrupted);
}

TEST(HSLAdjustments, NeutralIgnoresPointsThatShiftNothing) {
    HSLAdjustments mixer = HSLAdjustments::neutral();
    mixer.points = {PointColor(10, 0.5, 0.5), PointColor(200, 0.1, 0.9)};
    mixer.points[1].hueRange = 90;
    EXPECT_TRUE(mixer.isNeutral());
    const auto neutralAfter = [&](auto change) {
        HSLAdjustments changed = mixer;
        change(changed);
        return changed.isNeutral();
    };
    EXPECT_FALSE(neutralAfter([](HSLAdjustments& m) { m.points[0].variance = 10; }));
    EXPECT_FALSE(neutralAfter([](HSLAdjustments& m) { m.blackAndWhite = true; }));
    EXPECT_FALSE(neutralAfter([](HSLAdjustments& m) { m.luminanceFor(Band::green) = 0.5; }));
}

TEST(HSLAdjustmentsCoding, BandListsMustBeEightFiniteNumbersAndAreClamped) {
    for (const json::Json& list :
         {json::Json(std::vector<double>(7, 1.0)), json::Json(std::vector<double>(9, 1.0)),
          json::Json(std::vector<double>(8, std::numeric_limits<double>::quiet_NaN()))}) {
        json::Json mixer = mixerJson();
        mixer["luminance"] = list;
        const auto error = decodingErrorOf([&] { HSLAdjustments::decode(mixer); });
        EXPECT_EQ(error.kind(), Kind::dataCorrupted);
        EXPECT_EQ(error.codingPath().dotted(), "luminance");
    }
    const HSLAdjustments mixer = HSLAdjustments::decode(mixerJson());
    EXPECT_EQ(mixer.saturation, (HSLAdjustments::BandValues{1, 2, 100, 4, 5, -100, 7, 8}));
    EXPECT_TRUE(mixer.points.empty());
}

TEST(HSLAdjustmentsCoding, KeepsTheFirstEightPointsAndEachMustBeComplete) {
    HSLAdjustments source;
    for (int index = 0; index < 10; ++index) source.points.emplace_back(index * 30.0, 0.5, 0.5);
    json::Json encoded = source.encode();
    EXPECT_EQ(HSLAdjustments::decode(encoded).points,
              std::vector<PointColor>(source.points.begin(), source.points.begin() + 8));
    encoded["points"][1].erase("variance");
    EXPECT_EQ(decodingErrorOf([&] { HSLAdjustments::decode(encoded); }).codingPath().dotted(),
              "points.Index 1.variance");
}

}  // namespace
}  // namespace quillmere
