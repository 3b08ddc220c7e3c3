#pragma once

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/compute/luminance.h"
#include "core/compute/msl_math.h"
#include "core/render/develop/tone_uniforms.h"

// The small pure functions the develop kernels are built from, in 32-bit floats with the GPU's
// NaN semantics (msl::). Each is exactly the arithmetic the kernels run, so it can be checked
// alone.

namespace quillmere {

inline constexpr float kMiddleGrey = 0.18f;
// log2(0.60 / 0.18): scene-linear 0.60, where highlight recovery starts and shadow lift ends.
inline constexpr float kRecoveryPivot = 1.7369656f;
inline constexpr float kShoulderKnee = 0.8f;
inline constexpr float kShoulderB = 4.6875f;

// Highlight roll-off for RAW photos: identity up to the knee, then a curve with slope 1 at the
// knee that maps 0.8...4.0 onto 0.8...1.0 and approaches 0.8 + 1 / 4.6875.
// Branch-free, like srgbEncode.
inline float shoulder(float x) {
    const float t = x - kShoulderKnee;
    const float rolled = kShoulderKnee + t / (1.0f + kShoulderB * t);
    return t <= 0.0f ? x : rolled;
}

// c^(1/2.4) for positive normal c, within 2e-7 of the exact power (relative): the encoding's
// power in single precision, which the 16-bit output (it resolves 5e-4) cannot tell from the
// exact one. It runs up to six times per pixel, where a general pow in double precision was among
// the largest costs of the tone pass. Other arguments give unspecified finite values (the caller
// selects its own result for them).
//
// With c = 2^e · m (m in [√½, √2)) and 5e = 12q + r (0 ≤ r < 12), c^(5/12) is
// 2^q · 2^(r/12 + (5/12)·log2 m): the large part of the exponent stays an exact integer, and only
// a small argument goes through the polynomials.
inline float srgbPower(float c) {
    const msl::fast::detail::Log2Parts parts = msl::fast::detail::log2Parts(c);
    // q = floor(5e / 12), exactly: (5e + 0.5) / 12 is never within 1/24 of an integer.
    const float fiveE = 5.0f * parts.exponent;
    const float q = std::floor((fiveE + 0.5f) * (1.0f / 12.0f));
    const float r = fiveE - 12.0f * q;
    // |t| ≤ 1.2: its own power of two is 2^0 or 2^1, then q's is applied exactly (e lies within
    // −256...255 for every argument, so q within −107...106).
    const float t = r * (1.0f / 12.0f) + parts.ofMantissa * (5.0f / 12.0f);
    return msl::fast::exp2(t) * msl::fast::detail::powerOfTwo(q);
}

// The sRGB transfer function (IEC 61966-2-1), unclamped; +inf stays +inf and NaN stays NaN.
// Both pieces are computed and one selected, so that loops over it vectorise.
inline float srgbEncode(float c) {
    constexpr float kInfinity = std::numeric_limits<float>::infinity();
    const float power = c == kInfinity ? kInfinity : srgbPower(c);
    const float curved = 1.055f * power - 0.055f;
    return c <= 0.0031308f ? 12.92f * c : (c != c ? c : curved);
}

// Raster photos clip at display white instead of rolling off.
inline float clipEncode(float c) { return msl::clamp(srgbEncode(msl::max(c, 0.0f)), 0.0f, 1.0f); }

// The shoulder never gives a negative value, so the encoding's own floor at 0 changes nothing.
inline float shoulderEncode(float c) { return clipEncode(shoulder(msl::max(c, 0.0f))); }

// Where a value falls in a 256-entry channel of the curve table: the entry below it and the
// fraction of the way to the next.
struct LutPosition {
    int index;
    float fraction;
};

inline LutPosition lutPosition(float v) {
    const float f = msl::clamp(v, 0.0f, 1.0f) * 255.0f;
    const int i0 = std::min(static_cast<int>(f), 254);  // f is 0...255 here: no overflow
    return {i0, f - static_cast<float>(i0)};
}

// Linear interpolation in one 256-entry channel of the curve table starting at `base`.
inline float lutSample(const float* lut, int base, float v) {
    const LutPosition p = lutPosition(v);
    return msl::mix(lut[base + p.index], lut[base + p.index + 1], p.fraction);
}

// Hue in degrees (0...360), saturation and value; saturation and value are unbounded above
// because scene values beyond display white reach this far in the colour steps. Every hue
// formula is worked out and one selected (a grey divides by zero there, to no effect), so that
// loops over pixels vectorise.
inline msl::float3 rgb2hsv(msl::float3 c) {
    const float mx = msl::max(c.x, msl::max(c.y, c.z));
    const float mn = msl::min(c.x, msl::min(c.y, c.z));
    const float d = mx - mn;
    // One division for the three hue formulas.
    const float inverseD = 1.0f / d;
    const float fromRed = msl::fmod((c.y - c.z) * inverseD, 6.0f);
    const float fromGreen = (c.z - c.x) * inverseD + 2.0f;
    const float fromBlue = (c.x - c.y) * inverseD + 4.0f;
    const float degrees = (mx == c.x ? fromRed : (mx == c.y ? fromGreen : fromBlue)) * 60.0f;
    const float hue = degrees < 0.0f ? degrees + 360.0f : degrees;
    const float saturation = d / mx;
    return {d != 0.0f ? hue : 0.0f, mx > 0.0f ? saturation : 0.0f, mx};
}

// The colour of a hue (degrees), saturation and value; the sector's channel order is selected
// rather than branched to, so that loops over pixels vectorise.
inline msl::float3 hsv2rgb(float h, float s, float v) {
    const float c = v * s;
    const float hp = h * (1.0f / 60.0f);
    const float x = c * (1.0f - std::fabs(msl::fmod(hp, 2.0f) - 1.0f));
    const float red = hp < 1.0f ? c : (hp < 2.0f ? x : (hp < 4.0f ? 0.0f : (hp < 5.0f ? x : c)));
    const float green = hp < 1.0f ? x : (hp < 3.0f ? c : (hp < 4.0f ? x : 0.0f));
    const float blue = hp < 2.0f ? 0.0f : (hp < 3.0f ? x : (hp < 5.0f ? c : x));
    return msl::float3{red, green, blue} + (v - c);
}

// What turns a decoded colour into scene light, taken once per pass from the uniforms: the
// denoise blend, the white-balance gains and the exposure factor.
struct SceneTransform {
    float denoiseAmount = 0;
    float residualLuma = 1;    // share of luminance noise kept: 1 − denoiseAmount
    float residualChroma = 1;  // share of colour noise kept: its cube
    msl::float3 gains{1, 1, 1};
    float exposureGain = 1;  // 2^exposure

    static SceneTransform from(const ToneUniforms& u) {
        const float r = 1.0f - u.denoiseAmount;
        return {u.denoiseAmount,
                r,
                r * r * r,
                {u.wbGainR, u.wbGainG, u.wbGainB},
                msl::exp2(u.exposure)};
    }
};

// A decoded colour in scene light: the white-balance gains and the exposure factor applied.
inline msl::float3 sceneLight(msl::float3 rgb, const SceneTransform& scene) {
    return rgb * scene.gains * scene.exposureGain;
}

// Scene-linear colour of a pixel whose decoded colour is `o` and fully denoised colour `c`.
// The blend is always computed and then selected (so loops over pixels vectorise); without
// denoising the decoded colour passes through exactly, as sceneLight(o) has it.
inline msl::float3 sceneRGB(msl::float3 o, msl::float3 c, const SceneTransform& scene) {
    const msl::float3 residual = o - c;
    const float residualY = msl::dot(residual, kRec709Luma);
    const msl::float3 blended =
        (c + scene.residualLuma * residualY) + scene.residualChroma * (residual - residualY);
    const bool denoises = scene.denoiseAmount > 0.0f;
    const msl::float3 rgb{denoises ? blended.x : o.x, denoises ? blended.y : o.y,
                          denoises ? blended.z : o.z};
    return sceneLight(rgb, scene);
}

// 1 + contrast / 100 · 0.6: the slope of the contrast curve in EV around middle grey.
inline float contrastScale(float contrast) { return 1.0f + contrast / 100.0f * 0.6f; }

// A luminance's EV around middle grey, scaled by the contrast slope: log2(Y / 0.18) · slope.
inline float contrastEV(float luminance, float contrastScaleFactor) {
    return msl::fast::log2(luminance / kMiddleGrey) * contrastScaleFactor;
}

// Below this luminance the recovery guide takes a colour as black, so that black and negative
// colours stay finite there.
inline constexpr float kGuideLuminanceFloor = 1e-10f;

// Contrast-scaled scene EV of a colour's luminance, floored far below black; what the recovery
// guide is made of.
inline float sceneEV(msl::float3 rgb, float contrastScaleFactor) {
    return contrastEV(msl::max(msl::dot(rgb, kRec709Luma), kGuideLuminanceFloor),
                      contrastScaleFactor);
}

// sceneEV of a colour whose luminance and contrastEV are known, without a second logarithm:
// `floorEV` is contrastEV(kGuideLuminanceFloor, slope).
inline float flooredSceneEV(float luminance, float ev, float floorEV) {
    return luminance >= kGuideLuminanceFloor ? ev : floorEV;
}

}  // namespace quillmere
