#include "core/edit/hsl_adjustments.h"

#include <gtest/gtest.h>

#include <limits>
#include <tuple>
#include <utility>

#include "tests/edit/coding_test_support.h"

namespace quillmere {
namespace {

using testing::decodingErrorOf;
using Kind = DecodingError::Kind;
using Band = HSLAdjustments::Band;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

json::Json mixerJson() {
    return json::parse(R"({"hue": [0, 0, 0, 0, 0, 0, 0, 0],
                           "saturation": [1, 2, 3, 4, 5, 6, 7, 8],
                           "luminance": [-1, -2, -3, -4, -5, -6, -7, -8]})");
}

TEST(HSLAdjustmentsBand, RawValuesNamesAndCentres) {
    const char* names[] = {"Red", "Orange", "Yellow", "Green", "Aqua", "Blue", "Purple", "Magenta"};
    const double centres[] = {0, 30, 60, 120, 180, 240, 285, 330};
    for (std::size_t index = 0; index < allBands.size(); ++index) {
        const Band band = allBands[index];
        EXPECT_EQ(bandFromRawValue(rawValue(band)), band);
        EXPECT_EQ(rawValue(band), static_cast<std::int64_t>(index));
        EXPECT_EQ(displayName(band), names[index]);
        EXPECT_EQ(centerDegrees(band), centres[index]);
    }
    EXPECT_EQ(bandFromRawValue(8), std::nullopt);
    EXPECT_EQ(bandFromRawValue(-1), std::nullopt);
    EXPECT_EQ(decodeBand(encodeBand(Band::aqua)), Band::aqua);
    EXPECT_EQ(decodingErrorOf([] { decodeBand(json::Json(8)); }).kind(), Kind::dataCorrupted);
}

TEST(HSLAdjustments, BandAccessorsWriteOneElementUnclamped) {
    HSLAdjustments mixer;
    mixer.hueFor(Band::aqua) = 400;
    mixer.luminanceFor(Band::magenta) = -7;
    EXPECT_EQ(mixer.hue, (HSLAdjustments::BandValues{0, 0, 0, 0, 400, 0, 0, 0}));
    EXPECT_EQ(mixer.luminance[7], -7);
    EXPECT_EQ(std::as_const(mixer).saturationFor(Band::red), 0);
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
    EXPECT_FALSE(neutralAfter([](HSLAdjustments& m) { m.saturation[0] = kNaN; }));
}

TEST(HSLAdjustmentsCoding, BandListsMustBeEightFiniteNumbersAndAreClamped) {
    for (const char* key : {"hue", "saturation", "luminance"}) {
        for (const json::Json& list :
             {json::Json(std::vector<double>(7, 1.0)), json::Json(std::vector<double>(9, 1.0)),
              json::Json(std::vector<double>(8, kNaN))}) {
            json::Json mixer = mixerJson();
            mixer[key] = list;
            const auto error = decodingErrorOf([&] { HSLAdjustments::decode(mixer); });
            EXPECT_EQ(error.kind(), Kind::dataCorrupted);
            EXPECT_EQ(error.codingPath().dotted(), key);
            EXPECT_EQ(error.debugDescription(), "Expected eight finite values");
        }
        json::Json missing = mixerJson();
        missing.erase(key);
        EXPECT_EQ(decodingErrorOf([&] { HSLAdjustments::decode(missing); }).kind(),
                  Kind::keyNotFound);
    }

    json::Json object = mixerJson();
    object["saturation"][2] = 150;
    object["saturation"][5] = -250;
    object["points"] = nullptr;
    const HSLAdjustments mixer = HSLAdjustments::decode(object);
    EXPECT_EQ(mixer.saturation, (HSLAdjustments::BandValues{1, 2, 100, 4, 5, -100, 7, 8}));
    EXPECT_FALSE(mixer.blackAndWhite);
    EXPECT_TRUE(mixer.points.empty());
}

TEST(HSLAdjustmentsCoding, KeepsTheFirstEightPointsInFileOrder) {
    HSLAdjustments source;
    for (int index = 0; index < 10; ++index) source.points.emplace_back(index * 30.0, 0.5, 0.5);
    const HSLAdjustments decoded = HSLAdjustments::decode(source.encode());
    EXPECT_EQ(decoded.points,
              std::vector<PointColor>(source.points.begin(), source.points.begin() + 8));
}

TEST(HSLAdjustmentsCoding, APointMissingAnyKeyFailsTheWholeMixer) {
    HSLAdjustments source;
    source.points = {PointColor(40, 0.7, 0.3)};
    const json::Json encoded = source.encode();
    ASSERT_EQ(encoded["points"][0].size(), 12u);
    for (const auto& [key, value] : encoded["points"][0].items()) {
        json::Json damaged = encoded;
        damaged["points"][0].erase(key);
        const auto error = decodingErrorOf([&] { HSLAdjustments::decode(damaged); });
        EXPECT_EQ(error.kind(), Kind::keyNotFound) << key;
        EXPECT_EQ(error.codingPath().dotted(), "points.Index 0." + key);
    }
}

}  // namespace
}  // namespace quillmere
