#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <utility>

#include "core/compute/luminance.h"
#include "core/compute/msl_math.h"
#include "core/render/develop/color_adjustment_functions.h"
#include "core/render/develop/recovery_functions.h"
#include "core/render/develop/tone_functions.h"
#include "core/render/develop/tone_uniforms.h"

namespace quillmere {

// Recovery data that answers for a run of pixels at once, in loops that vectorise: `base` and
// `textureMask` of pixels first ..< first + n at their EVs `ev`, written to `out`. A source may
// be asked for pixels that do not compress; their answers are not used.
template <class Source>
concept ChunkRecoveryData = requires(const Source& source, int first, int n, const float* ev,
                                     float* out) {
    source.bases(first, n, ev, out);
    source.textureMasks(first, n, ev, out);
};

// One image row in scene light, one plane per quantity: the tone pass's first step, which the
// later steps of the row and the texture mask of the rows around it read. Pointers to `width`
// floats each.
template <class Float>
struct ScenePlanes {
    Float* red;  // scene light: denoise blend, white balance and exposure applied
    Float* green;
    Float* blue;
    Float* luminance;  // Rec. 709
    Float* ev;         // contrastEV of the luminance
    Float* guideEV;    // sceneEV, as the recovery guide has it
    Float* alpha;      // the input's, passed through
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
          mixerTables_(MixerTables::from(hsl)),
          scene_(SceneTransform::from(u)),
          contrastScale_(contrastScale(u.contrast)),
          recoveryActive_(u.highlights != 0.0f || u.shadows != 0.0f || u.whites != 0.0f ||
                          u.blacks != 0.0f),
          recovery_(RecoverySettings::from(u, u.highlights < 0.0f ? whiteEV : kRecoveryPivot)),
          curveForm_(RecoveryCurveForm::of(recovery_)),
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

    // The scene row of `count` pixels whose decoded colours are `original` and whose denoised
    // colours are `clean` (read only when usesCleanColor()).
    void sceneRow(const msl::float4* original, const msl::float4* clean, int count,
                  const ScenePlanes<float>& out) const {
        // Texels are read one component at a time from their packed floats, which the compiler
        // vectorises; the denoised colours go into the planes first, as it gives up on a loop
        // that reads both rows so.
        const float* originals = &original[0].x;
        const auto texel = [](const float* row, int i) {
            return msl::float3{row[4 * i], row[4 * i + 1], row[4 * i + 2]};
        };
        const SceneTransform scene = scene_;
        if (usesCleanColor()) {
            const float* cleans = &clean[0].x;
            for (int i = 0; i < count; ++i) {
                out.red[i] = cleans[4 * i];
                out.green[i] = cleans[4 * i + 1];
                out.blue[i] = cleans[4 * i + 2];
            }
            for (int i = 0; i < count; ++i) {
                const msl::float3 denoised{out.red[i], out.green[i], out.blue[i]};
                storeScene(out, i, sceneRGB(texel(originals, i), denoised, scene));
            }
        } else {
            for (int i = 0; i < count; ++i)
                storeScene(out, i, sceneLight(texel(originals, i), scene));
        }
        const float contrast = contrastScale_;
        for (int i = 0; i < count; ++i) out.ev[i] = contrastEV(out.luminance[i], contrast);
        const float floorEV = contrastEV(kGuideLuminanceFloor, contrast);
        for (int i = 0; i < count; ++i) {
            out.guideEV[i] = flooredSceneEV(out.luminance[i], out.ev[i], floorEV);
            out.alpha[i] = originals[4 * i + 3];
        }
    }

    // Develops the `count` pixels of a scene row (alpha passed through). `recovery` answers for
    // runs of pixels. Every step runs over whole chunks of pixels in loops without branches,
    // which the compiler vectorises. Every pixel gets the same arithmetic whichever way it is
    // grouped.
    template <ChunkRecoveryData Recovery>
    void developPixels(const ScenePlanes<const float>& scene, int count, const Recovery& recovery,
                       msl::float4* result) const {
        // Set to zero, as the steps that work on eight values at once read up to seven beyond the
        // last pixel of a chunk.
        Chunk chunk{};
        for (int start = 0; start < count; start += kChunkSize) {
            const int n = std::min(kChunkSize, count - start);
            applyContrast(scene, start, n, chunk);
            if (recoveryActive_) recover(start, n, chunk, recovery);
            encodeForDisplay(n, chunk);
            if (rawShoulder_ && recoveryActive_ && protectsAny(n, chunk)) {
                encodeProtectedColors(n, chunk);
                blendProtectedColors(n, chunk);
            }
            if (curveTable_) applyCurve(n, chunk);
            applyColorSteps(n, chunk);
            for (int i = 0; i < n; ++i) {
                result[start + i] = {chunk.encodedRed[i], chunk.encodedGreen[i],
                                     chunk.encodedBlue[i], scene.alpha[start + i]};
            }
        }
    }

  private:
    static constexpr int kChunkSize = 64;
    static_assert(kChunkSize % lanes::kCount == 0, "chunks hold whole runs of lanes");

    // The pixels of one chunk between the steps, one array per quantity.
    struct Chunk {
        std::array<float, kChunkSize> red, green, blue;  // scene light
        std::array<float, kChunkSize> encodedRed, encodedGreen, encodedBlue;
        // The encoded colour-preserving shoulder, for the pixels recovery protects.
        std::array<float, kChunkSize> protectedRed, protectedGreen, protectedBlue;
        std::array<float, kChunkSize> luminance;    // after contrast
        std::array<float, kChunkSize> ev;           // the EV that luminance is made from
        std::array<float, kChunkSize> base;         // the edge-aware base EV
        std::array<float, kChunkSize> textureMask;  // 1 fine texture ... 0 contour
        std::array<float, kChunkSize> recoveredEV;  // what recovery makes of ev
        std::array<float, kChunkSize> protection;   // what the display encoding blends in
        // The colour steps' working values: the encoded colour as HSV, before any point or band
        // moves it (sampled), and as the mixer sees it; the summed point shifts.
        std::array<float, kChunkSize> sampleHue, sampleSaturation, sampleValue;
        std::array<float, kChunkSize> hue, saturation, value;
        // The mixer segment of each hue: its centres and its two bands' entries.
        std::array<float, kChunkSize> lowerCentre, upperCentre, inverseWidth;
        std::array<std::array<float, kChunkSize>, 2> bandHue, bandSat, bandLum;
        std::array<float, kChunkSize> hueShift, saturationShift, luminanceShift;
        std::array<float, kChunkSize> chroma;          // what the points may move: 0 for greys
        std::array<float, kChunkSize> selectedWeight;  // the visualised point's selection
        // A curve table lookup's positions and the entries around them.
        std::array<std::int32_t, kChunkSize> lutIndex;
        std::array<float, kChunkSize> lutFraction, lutLow, lutHigh;
        // Positive luminance, where contrast and recovery act: 1 or 0, as wide as a float so
        // that the loops testing it vectorise.
        std::array<std::int32_t, kChunkSize> lit;
        std::array<std::int32_t, kChunkSize> compressing;  // asks the recovery data
    };

    static void storeScene(const ScenePlanes<float>& out, int i, msl::float3 rgb) {
        out.red[i] = rgb.x;
        out.green[i] = rgb.y;
        out.blue[i] = rgb.z;
        out.luminance[i] = msl::dot(rgb, kRec709Luma);
    }

    // Contrast on scene luminance, ratio-preserving (the channel ratios and so the hue are
    // kept).
    static void applyContrast(const ScenePlanes<const float>& scene, int start, int n, Chunk& c) {
        for (int i = 0; i < n; ++i) {
            const float y = scene.luminance[start + i];
            // Black, or negative after the gains: nothing to scale.
            const bool lit = !(y <= 0.0f);
            // Middle grey is the fixed point of every contrast setting.
            const float ev = scene.ev[start + i];
            const float yc = kMiddleGrey * msl::fast::exp2(ev);
            const float scale = lit ? yc / y : 1.0f;
            c.red[i] = scene.red[start + i] * scale;
            c.green[i] = scene.green[start + i] * scale;
            c.blue[i] = scene.blue[start + i] * scale;
            c.luminance[i] = yc;
            c.ev[i] = ev;
            c.lit[i] = lit ? 1 : 0;
            c.protection[i] = 0.0f;
        }
    }

    // Highlight and shadow recovery on the contrasted luminance, ratio-preserving too; sets the
    // colour protection of the pixels it acts on.
    template <class Recovery>
    void recover(int start, int n, Chunk& c, const Recovery& recovery) const {
        askRecoveryData(start, n, c, recovery);
        // A local copy: the settings are then known not to change inside the loop.
        const RecoverySettings settings = recovery_;
        recoverEVs(n, c, settings);
        for (int i = 0; i < n; ++i) {
            const float protection = recoveryProtection(c.ev[i], settings);
            c.protection[i] = c.lit[i] != 0 ? protection : 0.0f;
        }
        for (int i = 0; i < n; ++i) {
            const float yr = kMiddleGrey * msl::fast::exp2(c.recoveredEV[i]);
            const float ratio = yr / c.luminance[i];
            const float scale = c.lit[i] != 0 ? ratio : 1.0f;
            c.red[i] *= scale;
            c.green[i] *= scale;
            c.blue[i] *= scale;
        }
    }

    // The recovered EV of every pixel, by a loop made for the pass's form of the curve.
    void recoverEVs(int n, Chunk& c, const RecoverySettings& settings) const {
        const auto loop = [&]<bool Lift, bool Adapt, bool Endpoints>() {
            for (int i = 0; i < n; ++i) {
                c.recoveredEV[i] = recoveredEV<Lift, Adapt, Endpoints>(c.ev[i], c.base[i],
                                                                       c.textureMask[i], settings);
            }
        };
        const RecoveryCurveForm form = curveForm_;
        if (form.liftsShadows) {
            if (form.adaptsHighlights) {
                if (form.movesEndpoints) return loop.template operator()<true, true, true>();
                return loop.template operator()<true, true, false>();
            }
            if (form.movesEndpoints) return loop.template operator()<true, false, true>();
            return loop.template operator()<true, false, false>();
        }
        if (form.adaptsHighlights) {
            if (form.movesEndpoints) return loop.template operator()<false, true, true>();
            return loop.template operator()<false, true, false>();
        }
        if (form.movesEndpoints) return loop.template operator()<false, false, true>();
        return loop.template operator()<false, false, false>();
    }

    // The base and texture mask of every pixel: what the recovery data gives for the lit pixels
    // that recovery compresses, the pixel's own EV and no texture for the others.
    template <class Recovery>
    void askRecoveryData(int start, int n, Chunk& c, const Recovery& recovery) const {
        const bool lowersHighlights = u_.highlights<0.0f, liftsShadows = u_.shadows> 0.0f;
        int compressed = 0;
        for (int i = 0; i < n; ++i) {
            const float ev = c.ev[i];
            // Bitwise, not short-circuit, so that the loop vectorises.
            c.compressing[i] =
                static_cast<std::int32_t>(c.lit[i] != 0) &
                ((static_cast<std::int32_t>(ev > kRecoveryPivot) & lowersHighlights) |
                 (static_cast<std::int32_t>(ev < kRecoveryPivot) & liftsShadows));
            compressed += c.compressing[i];
            c.base[i] = ev;
            c.textureMask[i] = 0.0f;
        }
        if (compressed == 0) return;
        // Asked for the whole chunk, used where the pixel compresses.
        recovery.bases(start, n, c.ev.data(), c.recoveredEV.data());
        for (int i = 0; i < n; ++i) {
            c.base[i] = c.compressing[i] != 0 ? c.recoveredEV[i] : c.base[i];
        }
        if (!lowersHighlights) return;
        recovery.textureMasks(start, n, c.ev.data(), c.recoveredEV.data());
        for (int i = 0; i < n; ++i) {
            const bool masked = c.compressing[i] != 0 && c.ev[i] > kRecoveryPivot;
            c.textureMask[i] = masked ? c.recoveredEV[i] : 0.0f;
        }
    }

    // The per-channel display encoding: the shoulder then the clipped encoding for RAW photos,
    // the clipped encoding alone otherwise.
    void encodeForDisplay(int n, Chunk& c) const {
        const auto encode = [&](const std::array<float, kChunkSize>& scene,
                                std::array<float, kChunkSize>& encoded) {
            if (rawShoulder_) {
                for (int i = 0; i < n; ++i) encoded[i] = shoulder(msl::max(scene[i], 0.0f));
            } else {
                std::copy_n(scene.begin(), n, encoded.begin());
            }
            srgb::clipEncodeInPlace(encoded.data(), n);
        };
        encode(c.red, c.encodedRed);
        encode(c.green, c.encodedGreen);
        encode(c.blue, c.encodedBlue);
    }

    // Whether recovery protects the colour of any pixel of the chunk; the colour-preserving
    // shoulder is worked out only for chunks where it is blended in.
    static bool protectsAny(int n, const Chunk& c) {
        std::int32_t protectedPixels = 0;
        for (int i = 0; i < n; ++i) protectedPixels |= c.protection[i] > 0.0f ? 1 : 0;
        return protectedPixels != 0;
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
        for (std::array<float, kChunkSize>* channel :
             {&c.protectedRed, &c.protectedGreen, &c.protectedBlue}) {
            srgb::encodeInPlace(channel->data(), n);
        }
    }

    // Where recovery protects colour, the colour-preserving shoulder blended in; pixels recovery
    // leaves alone keep exactly the per-channel rendering (raster photos are never protected).
    void blendProtectedColors(int n, Chunk& c) const {
        const auto blend = [&](std::array<float, kChunkSize>& encoded,
                               const std::array<float, kChunkSize>& protectedColor) {
            for (int i = 0; i < n; ++i) {
                const float blended = msl::mix(encoded[i], protectedColor[i], c.protection[i]);
                encoded[i] = c.protection[i] > 0.0f ? blended : encoded[i];
            }
        };
        blend(c.encodedRed, c.protectedRed);
        blend(c.encodedGreen, c.protectedGreen);
        blend(c.encodedBlue, c.protectedBlue);
    }

    // Every channel through the rgb table, then through its own. Each table lookup is split in
    // three loops: the positions and the interpolation vectorise, the indexed reads between stay
    // plain loads.
    void applyCurve(int n, Chunk& c) const {
        const auto lookUp = [&](std::array<float, kChunkSize>& channel, int base) {
            for (int i = 0; i < n; ++i) {
                const LutPosition position = lutPosition(channel[i]);
                c.lutIndex[i] = position.index;
                c.lutFraction[i] = position.fraction;
            }
            for (int i = 0; i < n; ++i) {
                c.lutLow[i] = curveTable_[base + c.lutIndex[i]];
                c.lutHigh[i] = curveTable_[base + c.lutIndex[i] + 1];
            }
            for (int i = 0; i < n; ++i)
                channel[i] = msl::mix(c.lutLow[i], c.lutHigh[i], c.lutFraction[i]);
        };
        for (auto [channel, base] :
             {std::pair{&c.encodedRed, kCurveRedBase}, std::pair{&c.encodedGreen, kCurveGreenBase},
              std::pair{&c.encodedBlue, kCurveBlueBase}}) {
            lookUp(*channel, kCurveRGBBase);
            lookUp(*channel, base);
        }
    }

    // The HSV of the chunk's encoded colours.
    static void toHSV(int n, const Chunk& c, std::array<float, kChunkSize>& hue,
                      std::array<float, kChunkSize>& saturation,
                      std::array<float, kChunkSize>& value) {
        for (int i = 0; i < n; ++i) {
            const msl::float3 hsv = rgb2hsv({c.encodedRed[i], c.encodedGreen[i], c.encodedBlue[i]});
            hue[i] = hsv.x;
            saturation[i] = hsv.y;
            value[i] = hsv.z;
        }
    }

    static void setEncoded(Chunk& c, int i, msl::float3 rgb) {
        c.encodedRed[i] = rgb.x;
        c.encodedGreen[i] = rgb.y;
        c.encodedBlue[i] = rgb.z;
    }

    // The colour steps on the encoded chunk: point colours, the mixer, black and white, vibrance
    // and saturation, and the visualisations.
    void applyColorSteps(int n, Chunk& c) const {
        // Selection is judged on the colour before any point or band moves it, so overlapping
        // points do not alter each other's selection.
        if (pointCount_ > 0 || visualizedBand_ >= 0) {
            toHSV(n, c, c.sampleHue, c.sampleSaturation, c.sampleValue);
        }
        std::fill_n(c.selectedWeight.begin(), n, 0.0f);
        if (pointCount_ > 0) applyPointColors(n, c);
        if (mixerActive_) {
            // A colour no point moved has the sampled HSV; working it out again gives the same.
            toHSV(n, c, c.hue, c.saturation, c.value);
            lookUpMixerSegments(n, c);
            for (int i = 0; i < n; ++i) {
                const MixerSegment segment{0,
                                           c.lowerCentre[i],
                                           c.upperCentre[i],
                                           c.inverseWidth[i],
                                           {c.bandHue[0][i], c.bandHue[1][i]},
                                           {c.bandSat[0][i], c.bandSat[1][i]},
                                           {c.bandLum[0][i], c.bandLum[1][i]}};
                setEncoded(c, i, applyColorMixer(segment, {c.hue[i], c.saturation[i], c.value[i]}));
            }
        }
        if (blackAndWhite_) {
            for (int i = 0; i < n; ++i) {
                setEncoded(c, i, msl::broadcast<msl::float3>(rec601Grey(encoded(c, i))));
            }
        }
        const float vibrance = u_.vibrance, saturation = u_.saturation;
        for (int i = 0; i < n; ++i) {
            setEncoded(c, i, applyVibranceSaturation(encoded(c, i), vibrance, saturation));
        }
        if (visualizesPoint_) {
            for (int i = 0; i < n; ++i) {
                setEncoded(c, i, fadeToGrey(encoded(c, i), c.selectedWeight[i]));
            }
        }
        if (visualizedBand_ >= 0) {
            const int band = visualizedBand_;
            for (int i = 0; i < n; ++i) {
                const float weight = bandVisualizationWeight(hsl_, c.sampleHue[i], band);
                setEncoded(c, i, fadeToGrey(encoded(c, i), weight));
            }
        }
    }

    // The mixer segment of each hue of the chunk, with its entries, eight hues at a time.
    void lookUpMixerSegments(int n, Chunk& c) const {
        const MixerTables& t = mixerTables_;
        for (int i = 0; i < n; i += lanes::kCount) {
            const lanes::Ints segment = t.segmentsAt(lanes::load(&c.hue[i]));
            lanes::store(&c.lowerCentre[i], lanes::lookUp(t.lowerCentre, segment));
            lanes::store(&c.upperCentre[i], lanes::lookUp(t.upperCentre, segment));
            lanes::store(&c.inverseWidth[i], lanes::lookUp(t.inverseWidth, segment));
            for (int band = 0; band < 2; ++band) {
                lanes::store(&c.bandHue[band][i], lanes::lookUp(t.hue[band], segment));
                lanes::store(&c.bandSat[band][i], lanes::lookUp(t.sat[band], segment));
                lanes::store(&c.bandLum[band][i], lanes::lookUp(t.lum[band], segment));
            }
        }
    }

    static msl::float3 encoded(const Chunk& c, int i) {
        return {c.encodedRed[i], c.encodedGreen[i], c.encodedBlue[i]};
    }

    // Moves every colour by the summed shifts of the points selecting its sampled HSV; a colour
    // no point shifts keeps its value exactly. Records the visualised point's selection.
    void applyPointColors(int n, Chunk& c) const {
        std::fill_n(c.hueShift.begin(), n, 0.0f);
        std::fill_n(c.saturationShift.begin(), n, 0.0f);
        std::fill_n(c.luminanceShift.begin(), n, 0.0f);
        // How much colour each pixel has for the points to act on, the same for every point.
        for (int i = 0; i < n; ++i) c.chroma[i] = pointColorChroma(c.sampleSaturation[i]);
        for (int point = 0; point < pointCount_; ++point) {
            const PointColorTerms terms = pointTerms_[point];
            const bool selected = point == selectedPoint_;
            for (int i = 0; i < n; ++i) {
                const msl::float3 hsv{c.sampleHue[i], c.sampleSaturation[i], c.sampleValue[i]};
                const PointColorSelection selection = pointColorSelection(terms, hsv);
                c.selectedWeight[i] = selected ? selection.weight : c.selectedWeight[i];
                // An unselected colour adds exactly zero (the sums start at +0 and never become
                // −0), unless a shift is not finite, which then spreads as it must.
                const msl::float3 shift = pointColorShift(terms, selection, c.chroma[i]);
                c.hueShift[i] += shift.x;
                c.saturationShift[i] += shift.y;
                c.luminanceShift[i] += shift.z;
            }
        }
        for (int i = 0; i < n; ++i) {
            const msl::float3 delta{c.hueShift[i], c.saturationShift[i], c.luminanceShift[i]};
            const bool moved = !(delta.x == 0.0f && delta.y == 0.0f && delta.z == 0.0f);
            const msl::float3 shifted = applyPointColorShift(
                {c.sampleHue[i], c.sampleSaturation[i], c.sampleValue[i]}, delta);
            c.encodedRed[i] = moved ? shifted.x : c.encodedRed[i];
            c.encodedGreen[i] = moved ? shifted.y : c.encodedGreen[i];
            c.encodedBlue[i] = moved ? shifted.z : c.encodedBlue[i];
        }
    }

    ToneUniforms u_;
    HSLUniforms hsl_;
    MixerTables mixerTables_;
    SceneTransform scene_;
    float contrastScale_;
    bool recoveryActive_;
    RecoverySettings recovery_;
    RecoveryCurveForm curveForm_;
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
