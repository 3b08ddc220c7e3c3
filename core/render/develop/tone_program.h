#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <concepts>
#include <cstdint>
#include <type_traits>

#include "core/compute/luminance.h"
#include "core/compute/msl_math.h"
#include "core/render/develop/color_adjustment_functions.h"
#include "core/render/develop/recovery_functions.h"
#include "core/render/develop/tone_functions.h"
#include "core/render/develop/tone_uniforms.h"

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
        const msl::float4 originalPixel{original, 0.0f}, cleanPixel{clean, 0.0f};
        msl::float4 result;
        developPixels(&originalPixel, &cleanPixel, 1, [&](int) { return recovery; }, &result);
        return result.xyz();
    }

    // Develops `count` pixels (alpha passed through); `recoveryAt(i)` gives the recovery data
    // source of pixel i. The transcendental steps run over whole chunks of pixels in loops
    // without branches, which the compiler vectorises; the steps that branch per pixel follow
    // pixel by pixel. Every pixel gets the same arithmetic whichever way it is grouped.
    template <class RecoveryAt>
        requires RecoveryDataSource<std::invoke_result_t<const RecoveryAt&, int>>
    void developPixels(const msl::float4* original, const msl::float4* clean, int count,
                       const RecoveryAt& recoveryAt, msl::float4* result) const {
        Chunk chunk;
        for (int start = 0; start < count; start += kChunkSize) {
            const int n = std::min(kChunkSize, count - start);
            sceneLuminance(original + start, clean + start, n, chunk);
            if (recoveryActive_) {
                recover(n, chunk, [&](int i) { return recoveryAt(start + i); });
            }
            encodeForDisplay(n, chunk);
            if (rawShoulder_ && recoveryActive_) encodeProtectedColors(n, chunk);
            for (int i = 0; i < n; ++i) {
                result[start + i] = {developColor(chunk, i), original[start + i].w};
            }
        }
    }

  private:
    static constexpr int kChunkSize = 64;

    // The pixels of one chunk between the steps, one array per quantity.
    struct Chunk {
        std::array<float, kChunkSize> red, green, blue;  // scene light
        std::array<float, kChunkSize> encodedRed, encodedGreen, encodedBlue;
        // The encoded colour-preserving shoulder, for the pixels recovery protects.
        std::array<float, kChunkSize> protectedRed, protectedGreen, protectedBlue;
        std::array<float, kChunkSize> luminance;   // after contrast
        std::array<float, kChunkSize> ev;          // of that luminance, when recovery runs
        std::array<float, kChunkSize> base;         // the edge-aware base EV
        std::array<float, kChunkSize> textureMask;  // 1 fine texture ... 0 contour
        std::array<float, kChunkSize> recoveredEV;  // what recovery makes of ev
        std::array<float, kChunkSize> protection;   // what the display encoding blends in
        // Positive luminance, where contrast and recovery act: 1 or 0, as wide as a float so
        // that the loops testing it vectorise.
        std::array<std::int32_t, kChunkSize> lit;
    };

    // Scene light and contrast on scene luminance, ratio-preserving (the channel ratios and so
    // the hue are kept).
    void sceneLuminance(const msl::float4* original, const msl::float4* clean, int n,
                        Chunk& c) const {
        for (int i = 0; i < n; ++i) {
            const msl::float3 rgb = sceneRGB(original[i].xyz(), clean[i].xyz(), scene_);
            const float y = msl::dot(rgb, kRec709Luma);
            // Black, or negative after the gains: nothing to scale.
            const bool lit = !(y <= 0.0f);
            // Middle grey is the fixed point of every contrast setting.
            const float yc = kMiddleGrey * msl::exp2(msl::log2(y / kMiddleGrey) * contrastScale_);
            const float scale = lit ? yc / y : 1.0f;
            c.red[i] = rgb.x * scale;
            c.green[i] = rgb.y * scale;
            c.blue[i] = rgb.z * scale;
            c.luminance[i] = yc;
            c.lit[i] = lit ? 1 : 0;
            c.protection[i] = 0.0f;
        }
    }

    // Highlight and shadow recovery on the contrasted luminance, ratio-preserving too; sets the
    // colour protection of the pixels it acts on.
    template <class RecoveryAt>
    void recover(int n, Chunk& c, const RecoveryAt& recoveryAt) const {
        for (int i = 0; i < n; ++i) c.ev[i] = msl::log2(c.luminance[i] / kMiddleGrey);
        // What the recovery data source gives, asked for only where it is needed.
        const bool lowersHighlights = u_.highlights < 0.0f, liftsShadows = u_.shadows > 0.0f;
        for (int i = 0; i < n; ++i) {
            const float ev = c.ev[i];
            c.base[i] = ev;
            c.textureMask[i] = 0.0f;
            if (c.lit[i] == 0) continue;
            const bool compressing = (ev > kRecoveryPivot && lowersHighlights) ||
                                     (ev < kRecoveryPivot && liftsShadows);
            if (!compressing) continue;
            const auto recovery = recoveryAt(i);
            c.base[i] = static_cast<float>(recovery.base(ev));
            if (ev > kRecoveryPivot && lowersHighlights) {
                c.textureMask[i] = static_cast<float>(recovery.textureMask(ev));
            }
        }
        // A local copy: the settings are then known not to change inside the loop.
        const RecoverySettings settings = recovery_;
        for (int i = 0; i < n; ++i) {
            const float ev = c.ev[i];
            c.recoveredEV[i] = recoveredEV(ev, c.base[i], c.textureMask[i], settings);
            const float protection = recoveryProtection(ev, settings);
            c.protection[i] = c.lit[i] != 0 ? protection : 0.0f;
        }
        for (int i = 0; i < n; ++i) {
            const float yr = kMiddleGrey * msl::exp2(c.recoveredEV[i]);
            const float ratio = yr / c.luminance[i];
            const float scale = c.lit[i] != 0 ? ratio : 1.0f;
            c.red[i] *= scale;
            c.green[i] *= scale;
            c.blue[i] *= scale;
        }
    }

    // The per-channel display encoding: shoulderEncode for RAW photos, clipEncode otherwise.
    // The shoulder runs in a loop of its own, as the compiler vectorises the encoding only over
    // values it reads from memory.
    void encodeForDisplay(int n, Chunk& c) const {
        const bool rollsOff = rawShoulder_;
        for (int i = 0; i < n; ++i) {
            const float red = c.red[i], green = c.green[i], blue = c.blue[i];
            const float rolledRed = shoulder(msl::max(red, 0.0f));
            const float rolledGreen = shoulder(msl::max(green, 0.0f));
            const float rolledBlue = shoulder(msl::max(blue, 0.0f));
            c.encodedRed[i] = rollsOff ? rolledRed : red;
            c.encodedGreen[i] = rollsOff ? rolledGreen : green;
            c.encodedBlue[i] = rollsOff ? rolledBlue : blue;
        }
        for (int i = 0; i < n; ++i) c.encodedRed[i] = clipEncode(c.encodedRed[i]);
        for (int i = 0; i < n; ++i) c.encodedGreen[i] = clipEncode(c.encodedGreen[i]);
        for (int i = 0; i < n; ++i) c.encodedBlue[i] = clipEncode(c.encodedBlue[i]);
    }

    // The colour-preserving shoulder, encoded, worked out for every pixel of the chunk: in
    // vector loops that costs less than for the protected pixels alone one by one.
    void encodeProtectedColors(int n, Chunk& c) const {
        for (int i = 0; i < n; ++i) {
            const msl::float3 shouldered = recoveryShoulder({c.red[i], c.green[i], c.blue[i]});
            c.protectedRed[i] = shouldered.x;
            c.protectedGreen[i] = shouldered.y;
            c.protectedBlue[i] = shouldered.z;
        }
        for (int i = 0; i < n; ++i) c.protectedRed[i] = srgbEncode(c.protectedRed[i]);
        for (int i = 0; i < n; ++i) c.protectedGreen[i] = srgbEncode(c.protectedGreen[i]);
        for (int i = 0; i < n; ++i) c.protectedBlue[i] = srgbEncode(c.protectedBlue[i]);
    }

    // The rest of the develop for pixel i of an encoded chunk: the colour-preserving shoulder
    // where recovery protects colour, then the curve and the colour steps.
    msl::float3 developColor(const Chunk& c, int i) const {
        msl::float3 rgb{c.encodedRed[i], c.encodedGreen[i], c.encodedBlue[i]};
        // Pixels recovery leaves alone keep exactly the per-channel rendering; raster photos
        // clip and are never protected.
        if (rawShoulder_ && c.protection[i] > 0.0f) {
            const msl::float3 protectedColor{c.protectedRed[i], c.protectedGreen[i],
                                             c.protectedBlue[i]};
            rgb = msl::mix(rgb, protectedColor, c.protection[i]);
        }
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
