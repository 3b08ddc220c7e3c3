#include "core/render/develop/tone_parameters.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace quillmere {
namespace {

// The guide's long side: small enough that the 25 × 25 bilateral filter and the white-point
// reduction cost nothing at any photo size, and the same normalised scale for preview and export.
constexpr double kGuideLongSide = 256;

// The sliders that shape recovery: a non-finite value means the slider is at rest.
float recoverySlider(double value) {
    if (!std::isfinite(value)) return 0;
    return static_cast<float>(std::clamp(value, -100.0, 100.0));
}

// A point-colour value within its working range; a non-finite one takes the lower bound.
float pointValue(double value, double lower, double upper) {
    if (!std::isfinite(value)) return static_cast<float>(lower);
    return static_cast<float>(std::clamp(value, lower, upper));
}

PointColorRecord pointRecord(const PointColor& point) {
    return {.hue = pointValue(point.hue, 0, 360),
            .saturation = pointValue(point.saturation, 0, 1),
            .brightness = pointValue(point.brightness, 0, 1),
            .hueRange = pointValue(point.hueRange, 1, 180),
            .saturationRange = pointValue(point.saturationRange, 0.01, 1),
            .luminanceRange = pointValue(point.luminanceRange, 0.01, 1),
            .range = pointValue(point.range, 1, 100),
            .hueShift = pointValue(point.hueShift, -100, 100),
            .saturationShift = pointValue(point.saturationShift, -100, 100),
            .luminanceShift = pointValue(point.luminanceShift, -100, 100),
            .variance = pointValue(point.variance, -100, 100)};
}

}  // namespace

ToneUniforms makeToneUniforms(const EditParams& params, const ToneInputs& inputs) {
    return {.wbGainR = inputs.whiteBalanceGains[0],
            .wbGainG = inputs.whiteBalanceGains[1],
            .wbGainB = inputs.whiteBalanceGains[2],
            .exposure = static_cast<float>(params.exposure),
            .contrast = static_cast<float>(params.contrast),
            .highlights = recoverySlider(params.highlights),
            .shadows = recoverySlider(params.shadows),
            .whites = recoverySlider(params.whites),
            .blacks = recoverySlider(params.blacks),
            .vibrance = static_cast<float>(params.vibrance),
            .saturation = static_cast<float>(params.saturation),
            .curveActive = inputs.curveActive ? 1.0f : 0.0f,
            .hslActive = params.hsl.isNeutral() ? 0.0f : 1.0f,
            .denoiseAmount = inputs.hasDenoisedInput ? params.denoiseFraction() : 0.0f,
            .rawShoulder = inputs.isRAW ? 1.0f : 0.0f};
}

HSLUniforms makeHSLUniforms(const HSLAdjustments& hsl) {
    HSLUniforms uniforms;
    for (std::size_t band = 0; band < kMixerBandCount; ++band) {
        uniforms.center[band] = static_cast<float>(centerDegrees(allBands[band]));
        uniforms.hue[band] = static_cast<float>(hsl.hue[band]);
        uniforms.sat[band] = static_cast<float>(hsl.saturation[band]);
        uniforms.lum[band] = static_cast<float>(hsl.luminance[band]);
    }
    return uniforms;
}

PointColorUniforms makePointColorUniforms(const EditParams& params) {
    PointColorUniforms uniforms;
    const std::size_t count = std::min(params.hsl.points.size(), kMaxPointColors);
    uniforms.count = static_cast<float>(count);
    for (std::size_t k = 0; k < count; ++k) uniforms.points[k] = pointRecord(params.hsl.points[k]);
    uniforms.visualizePointIndex = static_cast<float>(params.visualizePointIndex);
    uniforms.blackAndWhite = params.hsl.blackAndWhite ? 1.0f : 0.0f;
    uniforms.visualizeBandIndex = static_cast<float>(params.visualizeBandIndex);
    return uniforms;
}

GridSize recoveryGuideSize(int width, int height) {
    const double longSide = std::max({width, height, 1});
    const double scale = std::min(kGuideLongSide / longSide, 1.0);
    auto side = [&](int length) {
        return std::max(1, static_cast<int>(std::round(std::max(length, 0) * scale)));
    };
    return {side(width), side(height)};
}

}  // namespace quillmere
