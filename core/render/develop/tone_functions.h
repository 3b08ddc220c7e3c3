#pragma once

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

#include "core/compute/float_lanes.h"
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
// Branch-free, so that loops over it vectorise.
inline float shoulder(float x) {
    const float t = x - kShoulderKnee;
    const float rolled = kShoulderKnee + t / (1.0f + kShoulderB * t);
    return t <= 0.0f ? x : rolled;
}

// The sRGB encoding runs up to six times per pixel, so it works on eight values at once
// (lanes::Floats), looking its constants up in tables held in registers; a general pow was once
// among the largest costs of the tone pass.
namespace srgb {

// msl::max and msl::min lane by lane, NaN and signed-zero rules included.
[[gnu::always_inline]] inline lanes::Floats max(lanes::Floats a, lanes::Floats b) {
    return ((a >= b) | ((b != b) & (a == a))) ? a : b;
}
[[gnu::always_inline]] inline lanes::Floats min(lanes::Floats a, lanes::Floats b) {
    return ((a <= b) | ((b != b) & (a == a))) ? a : b;
}

// c^(1/2.4) for positive normal c, within 2.5e-7 of the exact power (relative): the encoding's
// power in single precision, which the 16-bit output (it resolves 5e-4) cannot tell from the
// exact one. Other arguments give unspecified finite values (the caller selects its own result
// for them).
//
// With c = 2^e · m (m in [1, 2)) and 5e = 12q + r (0 ≤ r < 12), c^(5/12) is
// 2^q · 2^(r/12) · m^(5/12): 2^q is exact and 2^(r/12) one of twelve constants. m lies in one of
// eight segments [m0, m0 + 1/8) by its top three bits, and m^(5/12) = m0^(5/12) · (1 + u)^(5/12)
// with u = (m − m0) / m0 below 1/8, a polynomial of the fourth degree whose coefficients are
// scaled by m0^(5/12) segment by segment (so that m0^(5/12) is added last and rounded once).
[[gnu::always_inline]] inline lanes::Floats power(lanes::Floats c) {
    using lanes::Floats, lanes::Ints, lanes::lookUp;
    const Ints bits = std::bit_cast<Ints>(c);
    const Ints segment = (bits >> 20) & 7;
    const Floats m = std::bit_cast<Floats>((bits & 0x007fffff) | 0x3f800000);
    const Floats m0 = std::bit_cast<Floats>((bits & 0x00700000) | 0x3f800000);
    constexpr Floats kInverseStart = {1.0f,         0.888888889f, 0.8f,         0.727272727f,
                                      0.666666667f, 0.615384615f, 0.571428571f, 0.533333333f};
    // m − m0 is exact.
    const Floats u = (m - m0) * lookUp(kInverseStart, segment);
    // Chebyshev interpolation of (1 + u)^(5/12) on [0, 1/8] (error 1.4e-9), times m0^(5/12).
    constexpr Floats kC4 = {-0.0334142122f, -0.0350949621f, -0.0366699569f, -0.0381555178f,
                            -0.0395642179f, -0.0409059794f, -0.042188791f,  -0.043419194f};
    constexpr Floats kC3 = {0.0633051889f, 0.0664894683f, 0.0694733884f, 0.0722878708f,
                            0.074956736f,  0.0774987821f, 0.0799291441f, 0.0822602147f};
    constexpr Floats kC2 = {-0.121491329f, -0.127602398f, -0.133328949f, -0.138730326f,
                            -0.143852244f, -0.148730779f, -0.153394977f, -0.15786862f};
    constexpr Floats kC1 = {0.416666103f, 0.437624595f, 0.457264349f, 0.475788888f,
                            0.493354994f, 0.510086394f, 0.526082704f, 0.541425493f};
    constexpr Floats kStartPower = {1.0f,        1.05030045f, 1.09743592f, 1.14189488f,
                                    1.18405359f, 1.224209f,   1.2626002f,  1.29942294f};
    Floats p = lookUp(kC4, segment);
    p = p * u + lookUp(kC3, segment);
    p = p * u + lookUp(kC2, segment);
    p = p * u + lookUp(kC1, segment);
    const Floats mantissaPower = p * u + lookUp(kStartPower, segment);
    // q = floor(5e / 12), exactly: (5e + 0.5) / 12 is never within 1/24 of an integer.
    const Ints fiveE = (((bits >> 23) & 0xff) - 127) * 5;
    const Ints q =
        lanes::floorToInt((__builtin_convertvector(fiveE, Floats) + 0.5f) * (1.0f / 12.0f));
    constexpr Floats kTwelfthPowersLow = {1.0f,        1.05946309f, 1.12246205f, 1.18920712f,
                                          1.25992105f, 1.33483985f, 1.41421356f, 1.49830708f};
    constexpr Floats kTwelfthPowersHigh = {1.58740105f, 1.68179283f, 1.78179744f, 1.88774863f,
                                           0.0f,        0.0f,        0.0f,        0.0f};
    const Floats twelfthPower = lookUp(kTwelfthPowersLow, kTwelfthPowersHigh, fiveE - 12 * q);
    // e lies within −127...128, so q within −53...53: 2^q is a normal float.
    return mantissaPower * twelfthPower * std::bit_cast<Floats>((q + 127) << 23);
}

// The sRGB transfer function (IEC 61966-2-1), unclamped; +inf stays +inf and NaN stays NaN.
[[gnu::always_inline]] inline lanes::Floats encode(lanes::Floats c) {
    constexpr float kInfinity = std::numeric_limits<float>::infinity();
    const lanes::Floats power = c == kInfinity ? lanes::broadcast(kInfinity) : srgb::power(c);
    const lanes::Floats curved = 1.055f * power - 0.055f;
    return c <= 0.0031308f ? 12.92f * c : (c != c ? c : curved);
}

// Raster photos clip at display white instead of rolling off: the encoding of max(c, 0),
// clamped to 0...1 (msl::clamp).
[[gnu::always_inline]] inline lanes::Floats clipEncode(lanes::Floats c) {
    const lanes::Floats zero{}, one = lanes::broadcast(1.0f);
    return srgb::min(srgb::max(encode(srgb::max(c, zero)), zero), one);
}

// `function` of the first n values of `values`, in place, eight at a time: `values` must hold
// n rounded up to a multiple of eight.
template <class Function>
[[gnu::always_inline]] inline void forEachEight(float* values, int n, Function function) {
    for (int i = 0; i < n; i += lanes::kCount) {
        lanes::store(values + i, function(lanes::load(values + i)));
    }
}

// encode and clipEncode of the first n values of `values`, in place; `values` must hold n
// rounded up to a multiple of eight.
[[gnu::always_inline]] inline void encodeInPlace(float* values, int n) {
    forEachEight(values, n, [](lanes::Floats c) { return encode(c); });
}
[[gnu::always_inline]] inline void clipEncodeInPlace(float* values, int n) {
    forEachEight(values, n, [](lanes::Floats c) { return clipEncode(c); });
}

}  // namespace srgb

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
    // The red formula's ratio lies within −1...1 when finite, where both x / 6 and x · (1 / 6)
    // truncate to a zero of x's sign: msl::fmod(x, 6) without a division.
    const float redRatio = (c.y - c.z) * inverseD;
    const float fromRed = redRatio - 6.0f * std::trunc(redRatio * (1.0f / 6.0f));
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
