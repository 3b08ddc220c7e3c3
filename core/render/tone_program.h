#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <concepts>

#include "core/compute/luminance.h"
#include "core/compute/msl_math.h"
#include "core/render/color_adjustment_functions.h"
#include "core/render/recovery_functions.h"
#include "core/render/tone_functions.h"
#include "core/render/tone_uniforms.h"

namespace quillmere {

// What the tone function asks of the recovery data for one pixel at `ev` (EV after contrast).
// It asks only for pixels that recovery compresses, so a source may do real work per call.
template <class Source>
concept RecoveryDataSource = requires(const Source& source, float ev) {
    { source.base(ev) } -> std::convertible_to<float>;         // the edge-aware base EV
    { source.textureMask(ev) } -> std::convertible_to<float>;  // 1 fine texture ... 0 contour
};

// The per-pixel develop of the tone kernel with everything that is constant over one pass worked
// out once: which steps run, the scene transform, the recovery settings at the measured white
// point. Steps whose controls are neutral are skipped, never evaluated at a neutral value; the
// steps that do run keep their exact arithmetic.
class ToneProgram {
  public:
    // `curveTable` holds kCurveTableSize floats and is read only when u.curveActive says so.
    // `whiteEV` is the scene white point, read only when highlights are lowered.
    ToneProgram(const ToneUniforms& u, const float* curveTable, const HSLUniforms& hsl,
                const PointColorUniforms& points, float whiteEV)
        : u_(u),
          hsl_(hsl),
          scene_(SceneTransform::from(u)),
          contrastScale_(contrastScale(u.contrast)),
          recoveryActive_(u.highlights != 0.0f || u.shadows != 0.0f || u.whites != 0.0f ||
                          u.blacks != 0.0f),
          recovery_(RecoverySettings::from(u, u.highlights < 0.0f ? whiteEV : kRecoveryPivot)),
          rawShoulder_(u.rawShoulder > 0.5f),
          curveTable_(u.curveActive > 0.5f ? curveTable : nullptr),
          mixerActive_(u.hslActive > 0.5f),
          // The count comes from a buffer: never trust it to stay within the point slots.
          pointCount_(std::clamp(msl::saturatingConvert<int>(points.count), 0,
                                 static_cast<int>(kMaxPointColors))),
          selectedPoint_(msl::saturatingConvert<int>(points.visualizePointIndex)),
          visualizesPoint_(points.visualizePointIndex >= 0.0f),
          blackAndWhite_(points.blackAndWhite > 0.5f),
          visualizedBand_(points.visualizeBandIndex >= 0.0f &&
                                  points.visualizeBandIndex < static_cast<float>(kMixerBandCount)
                              ? msl::saturatingConvert<int>(points.visualizeBandIndex)
                              : -1) {
        for (int n = 0; n < pointCount_; ++n)
            pointTerms_[n] = PointColorTerms::from(points.points[n]);
    }

    // Whether the pass needs the clean (denoised) colour of each pixel.
    bool usesCleanColor() const { return scene_.denoiseAmount > 0.0f; }
    // Whether any pixel can ask its recovery data source (base or texture mask).
    bool compresses() const {
        return recoveryActive_ && (u_.highlights < 0.0f || u_.shadows > 0.0f);
    }
    // Whether pixels above the pivot ask for the texture mask.
    bool masksHighlightTexture() const { return recoveryActive_ && u_.highlights < 0.0f; }
    const SceneTransform& scene() const { return scene_; }
    float guideContrastScale() const { return contrastScale_; }

    // The display-encoded colour (0...1) of a pixel whose decoded colour is `original` and whose
    // denoised colour is `clean` (ignored unless usesCleanColor()).
    template <RecoveryDataSource Recovery>
    msl::float3 develop(msl::float3 original, msl::float3 clean, const Recovery& recovery) const {
        msl::float3 rgb = sceneRGB(original, clean, scene_);
        const float protection = toneLuminance(rgb, recovery);
        rgb = encodeForDisplay(rgb, protection);
        if (curveTable_) rgb = applyCurve(rgb);

        // Selection is judged on the colour before any point or band moves it, so overlapping
        // points do not alter each other's selection.
        const bool needsSampleHSV = pointCount_ > 0 || visualizedBand_ >= 0;
        const msl::float3 sampleHSV = needsSampleHSV ? rgb2hsv(rgb) : msl::float3{};
        float selectedWeight = 0.0f;
        bool pointsMoved = false;
        if (pointCount_ > 0) pointsMoved = applyPointColors(sampleHSV, rgb, selectedWeight);
        if (mixerActive_) {
            rgb = applyColorMixer(hsl_, needsSampleHSV && !pointsMoved ? sampleHSV : rgb2hsv(rgb));
        }
        if (blackAndWhite_) rgb = msl::broadcast<msl::float3>(rec601Grey(rgb));
        rgb = applyVibranceSaturation(rgb, u_.vibrance, u_.saturation);
        if (visualizesPoint_) rgb = fadeToGrey(rgb, selectedWeight);
        if (visualizedBand_ >= 0) {
            rgb = fadeToGrey(rgb, bandVisualizationWeight(hsl_, sampleHSV.x, visualizedBand_));
        }
        return rgb;
    }

  private:
    // Contrast and recovery on scene luminance, ratio-preserving (the channel ratios and so the
    // hue are kept). Returns the colour protection the display encoding blends in.
    template <RecoveryDataSource Recovery>
    float toneLuminance(msl::float3& rgb, const Recovery& recovery) const {
        const float y = msl::dot(rgb, kRec709Luma);
        if (y <= 0.0f) return 0.0f;  // black, or negative after the gains: nothing to scale
        // Middle grey is the fixed point of every contrast setting.
        const float yc = kMiddleGrey * std::exp2(std::log2(y / kMiddleGrey) * contrastScale_);
        rgb *= yc / y;
        if (!recoveryActive_) return 0.0f;

        const float ev = std::log2(yc / kMiddleGrey);
        const bool compressing = (ev > kRecoveryPivot && u_.highlights < 0.0f) ||
                                 (ev < kRecoveryPivot && u_.shadows > 0.0f);
        const float base = compressing ? static_cast<float>(recovery.base(ev)) : ev;
        const float textureMask = ev > kRecoveryPivot && u_.highlights < 0.0f
                                      ? static_cast<float>(recovery.textureMask(ev))
                                      : 0.0f;
        const float yr = recoverLuminance(ev, base, textureMask, recovery_);
        rgb *= yr / yc;
        return recoveryProtection(ev, recovery_);
    }

    msl::float3 encodeForDisplay(msl::float3 rgb, float protection) const {
        if (!rawShoulder_) return {clipEncode(rgb.x), clipEncode(rgb.y), clipEncode(rgb.z)};
        const msl::float3 legacy{shoulderEncode(rgb.x), shoulderEncode(rgb.y),
                                 shoulderEncode(rgb.z)};
        // Pixels recovery leaves alone keep exactly the per-channel rendering.
        if (!(protection > 0.0f)) return legacy;
        const msl::float3 shouldered = recoveryShoulder(rgb);
        const msl::float3 protectedColor{srgbEncode(shouldered.x), srgbEncode(shouldered.y),
                                         srgbEncode(shouldered.z)};
        return msl::mix(legacy, protectedColor, protection);
    }

    msl::float3 applyCurve(msl::float3 rgb) const {
        return {
            lutSample(curveTable_, kCurveRedBase, lutSample(curveTable_, kCurveRGBBase, rgb.x)),
            lutSample(curveTable_, kCurveGreenBase, lutSample(curveTable_, kCurveRGBBase, rgb.y)),
            lutSample(curveTable_, kCurveBlueBase, lutSample(curveTable_, kCurveRGBBase, rgb.z))};
    }

    // Moves `rgb` by the summed shifts of the points selecting `sampleHSV`; returns whether it
    // moved. `selectedWeight` receives the visualised point's selection.
    bool applyPointColors(msl::float3 sampleHSV, msl::float3& rgb, float& selectedWeight) const {
        const float chroma = pointColorChroma(sampleHSV.y);
        msl::float3 delta{};
        for (int n = 0; n < pointCount_; ++n) {
            const PointColorTerms& point = pointTerms_[n];
            const PointColorSelection selection = pointColorSelection(point, sampleHSV);
            if (n == selectedPoint_) selectedWeight = selection.weight;
            if (selection.weight == 0.0f && point.shiftsFinite) continue;
            delta += pointColorShift(point, selection, chroma);
        }
        if (delta.x == 0.0f && delta.y == 0.0f && delta.z == 0.0f) return false;
        rgb = applyPointColorShift(sampleHSV, delta);
        return true;
    }

    ToneUniforms u_;
    HSLUniforms hsl_;
    SceneTransform scene_;
    float contrastScale_;
    bool recoveryActive_;
    RecoverySettings recovery_;
    bool rawShoulder_;
    const float* curveTable_;
    bool mixerActive_;
    int pointCount_;
    int selectedPoint_;
    bool visualizesPoint_;
    bool blackAndWhite_;
    int visualizedBand_;
    std::array<PointColorTerms, kMaxPointColors> pointTerms_{};
};

}  // namespace quillmere
