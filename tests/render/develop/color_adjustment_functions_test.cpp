#include "core/render/develop/color_adjustment_functions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <utility>

namespace quillmere {
namespace {

PointColorRecord redPoint() {
    PointColorRecord point;
    point.hue = 0;
    point.saturation = 0.8f;
    point.brightness = 0.8f;
    point.hueRange = 30;
    point.saturationRange = 0.5f;
    point.luminanceRange = 0.5f;
    point.range = 50;
    return point;
}

TEST(WrapHue, StaysOnTheCircleForAnyTurn) {
    EXPECT_EQ(wrapHue(725.0f), 5.0f);
    EXPECT_EQ(wrapHue(360.0f), 0.0f);
    EXPECT_EQ(wrapHue(-30.0f), 330.0f);
    EXPECT_EQ(wrapHue(-390.0f), 330.0f);
}

TEST(PointColorSelection, FullInsideHalfTheWindowNoneBeyondItAcrossTheHueSeam) {
    const PointColorRecord point = redPoint();
    EXPECT_EQ(pointColorSelection(PointColorTerms::from(point), {0, 0.8f, 0.8f}).weight, 1.0f);
    // 10 degrees below red is reached across 360.
    const PointColorSelection below =
        pointColorSelection(PointColorTerms::from(point), {350, 0.8f, 0.8f});
    EXPECT_FLOAT_EQ(below.hueDifference, -10.0f);
    EXPECT_EQ(below.weight, 1.0f);
    const PointColorSelection edge =
        pointColorSelection(PointColorTerms::from(point), {22.5f, 0.8f, 0.8f});
    EXPECT_GT(edge.weight, 0.0f);
    EXPECT_LT(edge.weight, 1.0f);
    EXPECT_EQ(pointColorSelection(PointColorTerms::from(point), {30, 0.8f, 0.8f}).weight, 0.0f);
    EXPECT_EQ(pointColorSelection(PointColorTerms::from(point), {0, 0.2f, 0.8f}).weight, 0.0f);
    // Range 100 doubles every window.
    PointColorRecord wide = point;
    wide.range = 100;
    EXPECT_EQ(pointColorSelection(PointColorTerms::from(wide), {30, 0.8f, 0.8f}).weight, 1.0f);
}

TEST(PointColorShift, HueShiftTurnsThirtyDegreesAndVariancePullsOntoThePoint) {
    PointColorRecord point = redPoint();
    point.hueShift = 100;
    const PointColorSelection selection =
        pointColorSelection(PointColorTerms::from(point), {10, 0.8f, 0.8f});
    EXPECT_FLOAT_EQ(pointColorShift(PointColorTerms::from(point), selection, 1.0f).x, 30.0f);
    EXPECT_EQ(pointColorShift(PointColorTerms::from(point), selection, 0.0f),
              (msl::float3{0, 0, 0}));

    point.hueShift = 0;
    point.variance = -100;
    EXPECT_FLOAT_EQ(pointColorShift(PointColorTerms::from(point), selection, 1.0f).x, -10.0f);
    EXPECT_EQ(pointColorChroma(0.005f), 0.0f);
    EXPECT_EQ(pointColorChroma(0.5f), 1.0f);
}

TEST(MixerBands, WeightsSumToOneAndTheTopSegmentEndsAt360) {
    const HSLUniforms hsl;
    for (float h = 0.0f; h < 360.0f; h += 7.5f) {
        const MixerBandWeights w = mixerBandWeights(hsl, h);
        EXPECT_EQ(w.j, (w.i + 1) % 8);
        EXPECT_FLOAT_EQ(w.wi + w.wj, 1.0f);
    }
    const MixerBandWeights blue = mixerBandWeights(hsl, 240.0f);
    EXPECT_EQ(blue.i, 5);
    EXPECT_EQ(blue.wi, 1.0f);
    for (float h : {330.0f, 345.0f, 359.9f}) {
        const MixerBandWeights w = mixerBandWeights(hsl, h);
        EXPECT_EQ(w.i, 7) << h;
        EXPECT_EQ(w.j, 0) << h;
    }
    EXPECT_FLOAT_EQ(mixerBandWeights(hsl, 345.0f).wj, 0.5f);
    EXPECT_EQ(mixerSegment(hsl, 329.9f), 6);
    EXPECT_FLOAT_EQ(bandVisualizationWeight(hsl, 345.0f, 0), 0.5f);
    EXPECT_FLOAT_EQ(bandVisualizationWeight(hsl, 345.0f, 7), 0.5f);
    EXPECT_EQ(bandVisualizationWeight(hsl, 345.0f, 3), 0.0f);
}

TEST(ColorMixer, MovesColoursOfItsBandAndLeavesGreys) {
    HSLUniforms hsl;
    hsl.hue[0] = 100;   // red turns towards orange by 30 degrees
    hsl.lum[0] = -100;  // and darkens by 0.75 EV
    hsl.sat[5] = -100;  // blue loses its colour
    const msl::float3 red = applyColorMixer(hsl, rgb2hsv({0.8f, 0.1f, 0.1f}));
    const msl::float3 redHSV = rgb2hsv(red);
    EXPECT_NEAR(redHSV.x, 30.0f, 0.01f);
    EXPECT_NEAR(redHSV.z, 0.8f * std::exp2(-0.75f), 1e-5f);

    const msl::float3 blue = applyColorMixer(hsl, rgb2hsv({0.1f, 0.1f, 0.8f}));
    EXPECT_NEAR(blue.x, blue.z, 1e-6f);

    std::fill(std::begin(hsl.lum), std::end(hsl.lum), -100.0f);
    for (float grey : {0.0f, 0.3f, 1.0f}) {
        EXPECT_EQ(applyColorMixer(hsl, rgb2hsv({grey, grey, grey})),
                  (msl::float3{grey, grey, grey}));
    }
}

TEST(ColorMixer, HalfwayBetweenTwoCentresTakesHalfOfEachBand) {
    // Halfway between orange (30) and yellow (60), and between magenta (330) and red (360): the
    // upper band's entries act at half strength. Expected HSV from the mixer's constants: hue
    // +100 turns by 30 degrees, saturation −100 multiplies by 0, luminance −100 is −0.75 EV.
    for (const auto& [hue, upperBand] : {std::pair{45.0f, 2}, std::pair{345.0f, 0}}) {
        for (int entry = 0; entry < 3; ++entry) {
            HSLUniforms hsl;
            float* const lists[] = {hsl.hue, hsl.sat, hsl.lum};
            lists[entry][upperBand] = entry == 0 ? 100.0f : -100.0f;
            const msl::float3 moved = rgb2hsv(applyColorMixer(hsl, {hue, 0.5f, 0.6f}));
            SCOPED_TRACE(testing::Message() << hue << " " << entry);
            EXPECT_NEAR(moved.x, std::fmod(hue + (entry == 0 ? 15.0f : 0.0f), 360.0f), 0.01f);
            EXPECT_NEAR(moved.y, entry == 1 ? 0.25f : 0.5f, 1e-5f);
            EXPECT_NEAR(moved.z, entry == 2 ? 0.6f * std::exp2(-0.375f) : 0.6f, 1e-5f);
        }
    }
}

TEST(VibranceSaturation, SaturationMinus100GivesRec601GreyAndVibranceSparesVividColours) {
    const msl::float3 colour{0.9f, 0.4f, 0.2f};
    const float grey = 0.299f * 0.9f + 0.587f * 0.4f + 0.114f * 0.2f;
    const msl::float3 flat = applyVibranceSaturation(colour, 0, -100);
    for (int c = 0; c < 3; ++c) EXPECT_FLOAT_EQ(flat[c], grey);

    const msl::float3 vivid{0.9f, 0.05f, 0.05f};
    const msl::float3 muted{0.6f, 0.5f, 0.45f};
    const auto spread = [](msl::float3 c) { return c.x - c.z; };
    const float vividGain = spread(applyVibranceSaturation(vivid, -50, 0)) / spread(vivid);
    const float mutedGain = spread(applyVibranceSaturation(muted, -50, 0)) / spread(muted);
    EXPECT_GT(vividGain, mutedGain);
    EXPECT_EQ(applyVibranceSaturation({1.5f, -0.5f, 0.5f}, 0, 0), (msl::float3{1, 0, 0.5f}));
}

}  // namespace
}  // namespace quillmere
