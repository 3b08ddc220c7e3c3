#pragma once

#include <array>
#include <cmath>

#include "core/compute/float_lanes.h"
#include "core/compute/luminance.h"
#include "core/compute/msl_math.h"
#include "core/render/develop/tone_functions.h"
#include "core/render/develop/tone_uniforms.h"

// Point colours and the eight-band mixer on display-encoded HSV: how strongly a colour is
// selected and how it is moved.

namespace quillmere {

// fmod keeps the sign of its dividend, so a hue turned further down than the offset added before
// wrapping would stay negative; it wraps to the top of the circle instead.
inline float wrapHue(float degrees) {
    const float wrapped = msl::fmod(degrees, 360.0f);
    return wrapped < 0.0f ? wrapped + 360.0f : wrapped;
}

// A point colour as the per-pixel selection uses it: what depends only on the point worked out
// once per pass. The selection multiplies by the windows' reciprocals: every pixel is compared
// with every point, and a division each would cost more than the rest of the comparison.
struct PointColorTerms {
    float hue = 0;
    float saturation = 0;
    float brightness = 0;
    // The reciprocals of the three windows, each scaled by max(0.02, range / 50): range 50 keeps
    // them as picked.
    float inverseHueWindow = 0;
    float inverseSaturationWindow = 0;
    float inverseLuminanceWindow = 0;
    float hueShift = 0;         // degrees: 100 turns by 30
    float varianceShare = 0;    // variance / 100
    float saturationShift = 0;  // saturation factor − 1
    float luminanceShift = 0;   // EV
    // Whether every shift is finite, so an unselected colour gains exactly nothing.
    bool shiftsFinite = true;

    static PointColorTerms from(const PointColorRecord& point) {
        const float scale = msl::max(0.02f, point.range / 50.0f);
        return {point.hue,
                point.saturation,
                point.brightness,
                1.0f / (point.hueRange * scale),
                1.0f / (point.saturationRange * scale),
                1.0f / (point.luminanceRange * scale),
                point.hueShift * 0.3f,
                point.variance / 100.0f,
                point.saturationShift / 100.0f,
                point.luminanceShift / 100.0f * 0.75f,
                std::isfinite(point.hueShift) && std::isfinite(point.variance) &&
                    std::isfinite(point.saturationShift) && std::isfinite(point.luminanceShift)};
    }
};

// How much a point selects a colour, and the colour's signed hue distance from the point.
struct PointColorSelection {
    float weight;         // 1 inside half the point's windows, 0 beyond them
    float hueDifference;  // −180...180 degrees
};

// The signed difference of two hues within 0...360, wrapped into −180...180: msl::fmod(x, 360)
// of x = h − hue + 540, which lies within 180...900, is x less 360 for each whole turn it holds
// (x / 360 rounds to at least 1 exactly when x ≥ 360, to at least 2 when x ≥ 720), found by two
// comparisons where a vector division would cost more than the rest of the selection.
inline float hueDifference(float h, float hue) {
    const float turned = h - hue + 540.0f;
    const float turns = (turned >= 360.0f ? 360.0f : 0.0f) + (turned >= 720.0f ? 360.0f : 0.0f);
    return (turned - turns) - 180.0f;
}

// The pixel's hue comes from rgb2hsv and the point's is clamped by the host, both to 0...360.
inline PointColorSelection pointColorSelection(const PointColorTerms& point, msl::float3 hsv) {
    const float dh = hueDifference(hsv.x, point.hue);
    const float hueDistance = std::fabs(dh) * point.inverseHueWindow;
    const float distance = msl::max(
        hueDistance, msl::max(std::fabs(hsv.y - point.saturation) * point.inverseSaturationWindow,
                              std::fabs(hsv.z - point.brightness) * point.inverseLuminanceWindow));
    // The distance is the largest of three; once the hue's reaches 1 the weight is exactly 0.
    // Worked out and then selected, so that loops over pixels vectorise.
    const float weight = 1.0f - msl::smoothstep(0.5f, 1.0f, distance);
    return {hueDistance >= 1.0f ? 0.0f : weight, dh};
}

// Greys carry no hue to select by, so points leave them alone.
inline float pointColorChroma(float saturation) {
    return msl::smoothstep(0.01f, 0.08f, saturation);
}

// What one point adds to the colour's (hue in degrees, saturation factor − 1, EV) shift.
// Variance −100 pulls the hue onto the point's own hue and +100 doubles its distance.
inline msl::float3 pointColorShift(const PointColorTerms& point,
                                   const PointColorSelection& selection, float chroma) {
    const float amount = selection.weight * chroma;
    return amount * msl::float3{point.hueShift + selection.hueDifference * point.varianceShare,
                                point.saturationShift, point.luminanceShift};
}

// The colour `hsv` moved by the summed point shifts `delta`, clamped to display range.
inline msl::float3 applyPointColorShift(msl::float3 hsv, msl::float3 delta) {
    return msl::clamp(
        hsv2rgb(wrapHue(hsv.x + delta.x + 720.0f), msl::clamp(hsv.y * (1.0f + delta.y), 0.0f, 1.0f),
                hsv.z * msl::fast::exp2(delta.z)),
        0.0f, 1.0f);
}

// The mixer segment a hue falls in, with the two bands sharing it: segment i runs from band i's
// centre up to the next band's (j = i + 1), the hue between band 7 (magenta, 330) and 360
// belonging to segment 7, which ends at band 0's centre plus 360 (j = 0).
struct MixerSegment {
    int i;
    float lowerCentre;
    float upperCentre;
    float inverseWidth;  // 1 / (upperCentre − lowerCentre)
    float hue[2];        // the two bands' entries, band i first
    float sat[2];
    float lum[2];
};

// The first segment whose upper centre lies above the hue, found by one chain of selections over
// the seven candidates that carries every entry along: no band index is ever used to look an
// entry up, so loops over pixels vectorise (an indexed load, or a selection on a computed index,
// would turn them into branches).
inline MixerSegment mixerSegmentAt(const HSLUniforms& hsl, float h) {
    constexpr int kLast = static_cast<int>(kMixerBandCount) - 1;
    MixerSegment s{kLast,
                   hsl.center[kLast],
                   hsl.center[0] + 360.0f,
                   0.0f,
                   {hsl.hue[kLast], hsl.hue[0]},
                   {hsl.sat[kLast], hsl.sat[0]},
                   {hsl.lum[kLast], hsl.lum[0]}};
    // Unrolled before the vectoriser sees the pixel loop, which it would not take with this
    // loop inside.
#pragma GCC unroll 8
    for (int k = kLast - 1; k >= 0; --k) {
        const bool below = h < hsl.center[k + 1];
        s.i = below ? k : s.i;
        const auto take = [below](float& entry, float candidate) {
            entry = msl::detail::blend(below, candidate, entry);
        };
        take(s.lowerCentre, hsl.center[k]);
        take(s.upperCentre, hsl.center[k + 1]);
        take(s.hue[0], hsl.hue[k]);
        take(s.hue[1], hsl.hue[k + 1]);
        take(s.sat[0], hsl.sat[k]);
        take(s.sat[1], hsl.sat[k + 1]);
        take(s.lum[0], hsl.lum[k]);
        take(s.lum[1], hsl.lum[k + 1]);
    }
    s.inverseWidth = 1.0f / (s.upperCentre - s.lowerCentre);
    return s;
}

inline float mixerBlend(const MixerSegment& s, float h) {
    return msl::smoothstepScaled(s.lowerCentre, s.inverseWidth, h);
}

// The segments' entries as tables of eight, entry i for segment i, made once per pass: a run of
// eight hues finds its segments by the same chain of selections on the index alone, then looks
// every entry up at once (mixerSegmentAt for each hue, with less work).
struct MixerTables {
    std::array<float, kMixerBandCount> centre;
    lanes::Floats lowerCentre, upperCentre, inverseWidth, hue[2], sat[2], lum[2];

    static MixerTables from(const HSLUniforms& hsl) {
        MixerTables t;
        constexpr int kLast = static_cast<int>(kMixerBandCount) - 1;
        for (int i = 0; i <= kLast; ++i) {
            const int j = i == kLast ? 0 : i + 1;
            t.centre[i] = hsl.center[i];
            t.lowerCentre[i] = hsl.center[i];
            t.upperCentre[i] = i == kLast ? hsl.center[0] + 360.0f : hsl.center[j];
            t.inverseWidth[i] = 1.0f / (t.upperCentre[i] - t.lowerCentre[i]);
            t.hue[0][i] = hsl.hue[i];
            t.hue[1][i] = hsl.hue[j];
            t.sat[0][i] = hsl.sat[i];
            t.sat[1][i] = hsl.sat[j];
            t.lum[0][i] = hsl.lum[i];
            t.lum[1][i] = hsl.lum[j];
        }
        return t;
    }

    // The segments of eight hues, as mixerSegmentAt finds them.
    [[gnu::always_inline]] lanes::Ints segmentsAt(lanes::Floats h) const {
        constexpr int kLast = static_cast<int>(kMixerBandCount) - 1;
        lanes::Ints i = lanes::Ints{} + kLast;
        for (int k = kLast - 1; k >= 0; --k) i = h < centre[k + 1] ? lanes::Ints{} + k : i;
        return i;
    }
};

// The band mixer on an encoded colour given as HSV, in the segment its hue falls in; returns
// RGB.
inline msl::float3 applyColorMixer(const MixerSegment& segment, msl::float3 hsv) {
    const float h = hsv.x, s = hsv.y, v = hsv.z;
    const float t = mixerBlend(segment, h);
    const float wi = 1.0f - t, wj = t;
    const float hueShift = (wi * segment.hue[0] + wj * segment.hue[1]) / 100.0f * 30.0f;
    const float satFactor =
        msl::max(0.0f, 1.0f + (wi * segment.sat[0] + wj * segment.sat[1]) / 100.0f);
    const float lumFactor =
        msl::fast::exp2((wi * segment.lum[0] + wj * segment.lum[1]) / 100.0f * 0.75f);
    // Hue and saturation need more colour to act on than luminance does.
    const float maskHueSat = msl::smoothstep(0.02f, 0.15f, s);
    const float maskLum = msl::smoothstep(0.01f, 0.08f, s);
    const float shiftedHue = wrapHue(h + hueShift * maskHueSat + 360.0f);
    const float shiftedSat = msl::clamp(s * msl::mix(1.0f, satFactor, maskHueSat), 0.0f, 1.0f);
    const float shiftedValue = v * msl::mix(1.0f, lumFactor, maskLum);
    return msl::clamp(hsv2rgb(shiftedHue, shiftedSat, shiftedValue), 0.0f, 1.0f);
}

// How much of a band's colour a hue shows when that band is visualised: the band's mixer weight,
// the top segment ending at 360.
inline float bandVisualizationWeight(const HSLUniforms& hsl, float h, int band) {
    constexpr int kLast = static_cast<int>(kMixerBandCount) - 1;
    MixerSegment s = mixerSegmentAt(hsl, h);
    const int j = s.i == kLast ? 0 : s.i + 1;
    const float t = msl::smoothstep(s.lowerCentre, s.i == kLast ? 360.0f : s.upperCentre, h);
    return band == s.i ? 1.0f - t : (band == j ? t : 0.0f);
}

inline float rec601Grey(msl::float3 rgb) { return msl::dot(rgb, kRec601Luma); }

// Keeps `weight` of the colour and turns the rest to its Rec. 601 grey.
inline msl::float3 fadeToGrey(msl::float3 rgb, float weight) {
    const float grey = rec601Grey(rgb);
    return msl::mix(msl::broadcast<msl::float3>(grey), rgb, weight);
}

// Vibrance (stronger on less saturated colours) then saturation, both around the same Rec. 601
// luminance, clamped to display range.
inline msl::float3 applyVibranceSaturation(msl::float3 rgb, float vibrance, float saturation) {
    const float luma = rec601Grey(rgb);
    const msl::float3 grey = msl::broadcast<msl::float3>(luma);
    const float mx = msl::max(rgb.x, msl::max(rgb.y, rgb.z));
    const float mn = msl::min(rgb.x, msl::min(rgb.y, rgb.z));
    const float s = (mx - mn) / msl::max(mx, 0.0001f);
    rgb = msl::mix(grey, rgb, 1.0f + vibrance / 100.0f * (1.0f - s));
    rgb = msl::mix(grey, rgb, 1.0f + saturation / 100.0f);
    return msl::clamp(rgb, 0.0f, 1.0f);
}

}  // namespace quillmere
