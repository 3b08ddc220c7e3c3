#include "core/render/develop/tone_parameters.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace quillmere {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

TEST(ToneUniformsTest, ClampOnlyTheRecoverySlidersAndBlendOnlyABoundDenoisedInput) {
    EditParams params;
    params.exposure = 7.5;  // beyond the slider, still passed as is
    params.contrast = -140;
    params.highlights = -150;
    params.shadows = kNaN;
    params.whites = 42.5;
    params.blacks = kInfinity;
    params.denoise = 150;
    const ToneUniforms u = makeToneUniforms(
        params,
        {.whiteBalanceGains = {1.25f, 0.75f, 0.5f}, .hasDenoisedInput = true, .isRAW = true});
    EXPECT_EQ(u.wbGainR, 1.25f);
    EXPECT_EQ(u.wbGainB, 0.5f);
    EXPECT_EQ(u.exposure, 7.5f);
    EXPECT_EQ(u.contrast, -140.0f);
    EXPECT_EQ(u.highlights, -100.0f);
    EXPECT_EQ(u.shadows, 0.0f) << "a slider that is not a number is at rest";
    EXPECT_EQ(u.whites, 42.5f);
    EXPECT_EQ(u.blacks, 0.0f);
    EXPECT_EQ(u.denoiseAmount, 1.0f);
    EXPECT_EQ(u.curveActive, 0.0f);
    EXPECT_EQ(u.hslActive, 0.0f);
    EXPECT_EQ(u.rawShoulder, 1.0f);
    EXPECT_EQ(makeToneUniforms(params, {}).denoiseAmount, 0.0f) << "nothing to blend";
    EXPECT_EQ(makeToneUniforms(params, {}).rawShoulder, 0.0f);

    params.hsl.points.emplace_back(200, 0.5, 0.5);  // picked, not moved
    EXPECT_EQ(makeToneUniforms(params, {}).hslActive, 0.0f);
    params.hsl.points[0].variance = 10;
    EXPECT_EQ(makeToneUniforms(params, {}).hslActive, 1.0f);
}

TEST(HSLUniformsTest, HoldTheBandCentresAndTheShiftsUnclamped) {
    HSLAdjustments hsl;
    hsl.hue[2] = -35;
    hsl.saturation[7] = 250;
    hsl.luminance[0] = 12.5;
    const HSLUniforms u = makeHSLUniforms(hsl);
    const float centres[] = {0, 30, 60, 120, 180, 240, 285, 330};
    for (std::size_t band = 0; band < 8; ++band) EXPECT_EQ(u.center[band], centres[band]);
    EXPECT_EQ(u.hue[2], -35.0f);
    EXPECT_EQ(u.sat[7], 250.0f);
    EXPECT_EQ(u.lum[0], 12.5f);
}

TEST(PointColorUniformsTest, TakeTheFirstEightPointsEachClampedToItsRange) {
    EditParams params;
    for (int k = 0; k < 11; ++k) params.hsl.points.emplace_back(10.0 * k, 0.5, 0.5);
    PointColor& wild = params.hsl.points[1];
    wild.hue = 400;
    wild.saturation = -0.5;
    wild.hueRange = 0;
    wild.saturationRange = 0;
    wild.range = 500;
    wild.hueShift = kNaN;
    wild.saturationShift = 300;
    wild.variance = kInfinity;
    params.visualizePointIndex = 1;
    params.visualizeBandIndex = 6;
    params.hsl.blackAndWhite = true;
    const PointColorUniforms u = makePointColorUniforms(params);
    EXPECT_EQ(u.count, 8.0f);
    for (int k : {0, 2, 7}) EXPECT_EQ(u.points[k].hue, 10.0f * static_cast<float>(k));
    const PointColorRecord& p = u.points[1];
    EXPECT_EQ(p.hue, 360.0f);
    EXPECT_EQ(p.saturation, 0.0f);
    EXPECT_EQ(p.brightness, 0.5f);
    EXPECT_EQ(p.hueRange, 1.0f);
    EXPECT_EQ(p.saturationRange, 0.01f);
    EXPECT_EQ(p.luminanceRange, 0.5f);
    EXPECT_EQ(p.range, 100.0f);
    EXPECT_EQ(p.hueShift, -100.0f) << "not a number takes the lower bound";
    EXPECT_EQ(p.saturationShift, 100.0f);
    EXPECT_EQ(p.variance, -100.0f) << "nor does an infinity count as a number";
    EXPECT_EQ(u.visualizePointIndex, 1.0f);
    EXPECT_EQ(u.blackAndWhite, 1.0f);
    EXPECT_EQ(u.visualizeBandIndex, 6.0f);

    params.hsl.points.erase(params.hsl.points.begin() + 2, params.hsl.points.end());
    const PointColorUniforms two = makePointColorUniforms(params);
    EXPECT_EQ(two.count, 2.0f);
    const float* floats = reinterpret_cast<const float*>(&two);
    for (int i = 1 + 2 * 11; i < 89; ++i) EXPECT_EQ(floats[i], 0.0f) << "float " << i;
    EXPECT_EQ(makePointColorUniforms(EditParams{}).visualizePointIndex, -1.0f);
}

TEST(RecoveryGuideSizeTest, ScalesTheLongSideToAtMost256WithAtLeastOneTexel) {
    EXPECT_EQ(recoveryGuideSize(6000, 4000), (GridSize{256, 171}));
    EXPECT_EQ(recoveryGuideSize(4000, 6000), (GridSize{171, 256}));
    EXPECT_EQ(recoveryGuideSize(512, 255), (GridSize{256, 128}));  // 127.5: half away from 0
    EXPECT_EQ(recoveryGuideSize(1, 1), (GridSize{1, 1}));
    EXPECT_EQ(recoveryGuideSize(200, 3), (GridSize{200, 3})) << "never enlarged";
    EXPECT_EQ(recoveryGuideSize(30000, 20), (GridSize{256, 1}));
}

}  // namespace
}  // namespace quillmere
