#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>

#include "core/compute/luminance.h"
#include "core/compute/msl_math.h"
#include "core/render/develop/tone_functions.h"
#include "core/render/develop/tone_uniforms.h"

// Highlight and shadow recovery in scene-linear EV: the shaping functions, the recovery curve,
// the edge-aware base and white point it works against, and the colour-preserving shoulder.

namespace quillmere {

// Read-only view of a one-channel float image (the recovery guide or its base), rows packed.
struct GuideView {
    const float* texels = nullptr;
    int width = 0;
    int height = 0;

    // The texel at (x, y) with coordinates clamped to the edges.
    float clampedAt(int x, int y) const {
        x = x < 0 ? 0 : (x >= width ? width - 1 : x);
        y = y < 0 ? 0 : (y >= height ? height - 1 : y);
        return texels[static_cast<long>(y) * width + x];
    }
};

// Whether x is ±0, tested on its bits: a float comparison of a value just produced by msl::max
// is folded by the compiler into a form its vectoriser rejects.
inline bool isZero(float x) { return (std::bit_cast<std::uint32_t>(x) << 1) == 0u; }

// 0 with zero slope at distance 0, rising to 1; the greatest slope is 1 / (2 · width).
// Branch-free, like the rest of the recovery curve, so that loops over pixels vectorise. The
// widths are constants, so the division is a multiplication by the reciprocal the compiler
// works out (a division costs as much as the whole exponential around it).
//
// The weight is taken in two steps around its exponential, e^(d · −1 / width) with d the
// distance floored at 0, so that two weights of which at most one is ever non-zero share one
// exponential: the curve's shadow and highlight terms, the whites and the blacks.
struct RecoveryWeight {
    float distance;  // floored at 0
    float exponent;  // of the exponential

    static RecoveryWeight at(float distance, float width) {
        const float d = msl::max(distance, 0.0f);
        return {d, d * (-1.0f / width)};
    }
    // The weight, given e^exponent.
    float from(float exponential) const {
        const float rise = 1.0f - exponential;
        // Exactly 0 at zero distance, whatever the exponential's last bit.
        return isZero(distance) ? 0.0f : rise * rise;
    }
};

// The exponential of whichever of two weights has a positive distance (the first when neither
// has): the only one of the two that can be non-zero.
inline float sharedExponential(const RecoveryWeight& first, const RecoveryWeight& second) {
    return msl::exp(isZero(second.distance) ? first.exponent : second.exponent);
}

// A Gaussian of 1.2 EV cut to nothing at ±3 EV, so bright edges cannot bleed into dark regions.
// Branch-free, so that the bilateral filter's loops over it vectorise; its 625 taps per texel
// multiply by reciprocals rather than divide, and need no clamping of the exponential: beyond
// the cut the weight is 0 whatever the exponential gives, so its argument stops at the cut.
inline float recoveryRangeWeight(float delta) {
    constexpr float kSupportSquared = 9.0f;
    constexpr float kInverseTwoSigmaSquared = 1.0f / (2.0f * 1.2f * 1.2f);
    const float delta2 = delta * delta;
    const float rise = 1.0f - delta2 * (1.0f / kSupportSquared);
    // msl::max(0, rise) (NaN gives 0), written as the one comparison a vector maximum makes.
    const float support = rise > 0.0f ? rise : 0.0f;
    // A NaN stays NaN, and so does the weight.
    const float cut = delta2 > kSupportSquared ? kSupportSquared : delta2;
    return support * support * msl::detail::expInRange(cut * -kInverseTwoSigmaSquared);
}

// The four recovery sliders and the white point, with what the recovery curve derives from them
// once per pass.
struct RecoverySettings {
    float highlights = 0;
    float shadows = 0;
    float highlightsAmount = 0;   // highlights / 100
    float shadowsAmount = 0;      // shadows / 100
    float whitesAmount = 0;       // whites / 100 · 2
    float blacksAmount = 0;       // blacks / 100 · 2
    float highlightStrength = 0;  // max(−highlights, 0) / 100: compression and protection
    float shadowStrength = 0;     // max(shadows, 0) / 100
    float whitesProtection = 0;   // max(−whites, 0) / 100
    float highlightLimit = 0;     // 5 · highlights / 100: the most a pixel may move, in EV
    float shadowLimit = 0;        // 5 · shadows / 100
    // Highlight compression adapted to the scene's white point (used when highlights < 0).
    float whiteCompression = 0;

    // `whiteEV` is the measured white point; it matters only when highlights < 0.
    static RecoverySettings from(const ToneUniforms& u, float whiteEV) {
        RecoverySettings s;
        s.highlights = u.highlights;
        s.shadows = u.shadows;
        s.highlightsAmount = u.highlights / 100.0f;
        s.shadowsAmount = u.shadows / 100.0f;
        s.whitesAmount = u.whites / 100.0f * 2.0f;
        s.blacksAmount = u.blacks / 100.0f * 2.0f;
        s.highlightStrength = msl::max(-u.highlights, 0.0f) / 100.0f;
        s.shadowStrength = msl::max(u.shadows, 0.0f) / 100.0f;
        s.whitesProtection = msl::max(-u.whites, 0.0f) / 100.0f;
        s.highlightLimit = 5.0f * u.highlights / 100.0f;
        s.shadowLimit = 5.0f * u.shadows / 100.0f;
        // A dull scene is treated as reaching at least 2.5 EV above the pivot, so it is not
        // over-compressed.
        const float wd = msl::max(whiteEV - kRecoveryPivot, 2.5f);
        const float knee = wd - 0.5f * (1.0f - msl::exp(-wd / 0.5f));
        s.whiteCompression = msl::clamp((wd - 0.94f) / knee, 0.35f, 0.85f);
        return s;
    }
};

// Which forms of the recovery curve a pass evaluates, fixed by its sliders: the shadow term that
// lifts (shadows ≥ 0) or the one that deepens, the highlight term adapted to the white point
// (highlights < 0) or the fixed one, and whether whites or blacks move the end points at all.
// A pixel loop that knows them computes only those forms; left to choose per pixel, a vector
// loop computes every form and then selects.
struct RecoveryCurveForm {
    bool liftsShadows;
    bool adaptsHighlights;
    bool movesEndpoints;

    static RecoveryCurveForm of(const RecoverySettings& s) {
        return {s.shadows >= 0.0f, s.highlights < 0.0f,
                s.whitesAmount != 0.0f || s.blacksAmount != 0.0f};
    }
};

// The recovery tone curve in EV, in the form the sliders ask for (RecoveryCurveForm). Below the
// pivot the highlight term is exactly zero; with shadows ≥ 0 the shadow support ends at the
// pivot with zero slope. The shadow term is zero at and above the pivot (both forms reach at
// most up to 0 EV or to the pivot), so it shares one exponential with the highlight term.
template <bool LiftsShadows, bool AdaptsHighlights>
inline float recoveryLogCurve(float ev, const RecoverySettings& s) {
    const RecoveryWeight shadowWeight = LiftsShadows ? RecoveryWeight::at(kRecoveryPivot - ev, 3.2f)
                                                     : RecoveryWeight::at(-ev, 2.25f);
    const float distance = msl::max(ev - kRecoveryPivot, 0.0f);
    // Lowered highlights adapt to the white point instead of following the fixed curve.
    const RecoveryWeight highlightWeight = AdaptsHighlights
                                               ? RecoveryWeight{distance, distance * -2.0f}
                                               : RecoveryWeight::at(distance, 2.6f);
    const float exponential = sharedExponential(shadowWeight, highlightWeight);
    const float shadow = (LiftsShadows ? 5.0f : 3.0f) * shadowWeight.from(exponential);
    float curved;
    if constexpr (AdaptsHighlights) {
        curved = msl::min(5.0f, s.whiteCompression * (distance - 0.5f * (1.0f - exponential)));
    } else {
        curved = 5.0f * highlightWeight.from(exponential);
    }
    // Exactly 0 at the pivot and below it, as both forms are in exact arithmetic.
    const float highlight = isZero(distance) ? 0.0f : curved;
    return ev + s.shadowsAmount * shadow + s.highlightsAmount * highlight;
}

// Whites, then blacks on the result: applied after the recovery curve so each end-point curve
// stays monotone even with every slider at ±100. The whites act only above 0.75 EV and never
// take a pixel there below 0.75 (their amount is at most 2 either way), the blacks only below
// 0 EV, so the two share one exponential, taken at the blacks' distance before the whites
// moved the pixel (where the blacks act, the whites added exactly 0).
inline float recoveryEndpoints(float ev, const RecoverySettings& s) {
    const RecoveryWeight whites = RecoveryWeight::at(ev - 0.75f, 2.0f);
    const float exponential = sharedExponential(RecoveryWeight::at(-ev, 2.0f), whites);
    ev += s.whitesAmount * whites.from(exponential);
    ev += s.blacksAmount * RecoveryWeight::at(-ev, 2.0f).from(exponential);
    return ev;
}

// The recovered EV of a pixel at `ev` (after contrast) whose edge-aware base is `base`, in the
// form the sliders ask for: the curve applied to the base, with the local detail the curve would
// flatten put back within limits, never moving the pixel by more than 5 EV or against the
// slider. The recovered luminance is kMiddleGrey · 2^recoveredEV. With whites and blacks at 0
// the end points add 0 × a finite weight, which leaves the EV as it is (a −0 may become +0,
// which no later step tells apart), so they are left out.
template <bool LiftsShadows, bool AdaptsHighlights, bool MovesEndpoints>
inline float recoveredEV(float ev, float base, float textureMask, const RecoverySettings& s) {
    const bool bright = ev >= kRecoveryPivot;
    float mapped = recoveryLogCurve<LiftsShadows, AdaptsHighlights>(ev, s);
    const float strength = bright ? s.highlightStrength : s.shadowStrength;
    // Where the base is the pixel itself the curve of the base is the one just computed.
    const float baseMapped =
        base == ev ? mapped : recoveryLogCurve<LiftsShadows, AdaptsHighlights>(base, s);
    const float detail = baseMapped + ev - base - mapped;
    const float detailLimit = bright ? 0.10f : 0.75f;
    const float detailMask = bright ? textureMask : 1.0f;
    mapped += msl::clamp(detail, -detailLimit, detailLimit) * strength * detailMask *
              msl::smoothstep(0.0f, 1.0f, std::fabs(ev - kRecoveryPivot));
    const float limit = ev + (bright ? s.highlightLimit : s.shadowLimit);
    mapped = msl::clamp(mapped, msl::min(ev, limit), msl::max(ev, limit));
    if constexpr (MovesEndpoints) {
        return recoveryEndpoints(mapped, s);
    } else {
        return mapped;
    }
}

// How far the colour-preserving shoulder replaces the per-channel one for a pixel at `ev`.
inline float recoveryProtection(float ev, const RecoverySettings& s) {
    return msl::max(s.highlightStrength * msl::smoothstep(0.0f, 1.0f, ev - kRecoveryPivot),
                    s.whitesProtection * msl::smoothstep(0.0f, 1.0f, ev - 0.75f));
}

// Local contrast measure of a pixel at `ev` from the guide EVs of its four neighbours: 1 for fine
// texture, 0 for coherent contours (sky and sun edges) and smooth ramps.
inline float recoveryTextureMask(float ev, float left, float right, float below, float above) {
    const float gradient = 0.5f * (std::fabs(right - left) + std::fabs(above - below));
    const float texture = std::fabs(ev - (left + right + below + above) / 4.0f);
    return 1.0f - msl::smoothstep(0.5f, 1.5f, gradient / (texture + 0.001f));
}

// Joint bilateral upsampling of the base along one row of the output, at normalised height v:
// the two base rows around it and the vertical weight, worked out once for the row. Its steps
// can also be taken for runs of pixels, each step in a loop of its own (the arithmetic in loops
// that vectorise, the indexed reads between them).
class RecoveryBaseRow {
  public:
    RecoveryBaseRow(const GuideView& base, float v) : width_(base.width) {
        const float py = v * static_cast<float>(base.height) - 0.5f;
        fy_ = msl::fract(py);
        const int y0 = msl::saturatingConvert<int>(std::floor(py));
        const auto clampedRow = [&](int y) {
            y = y < 0 ? 0 : (y >= base.height ? base.height - 1 : y);
            return base.texels + static_cast<long>(y) * base.width;
        };
        below_ = clampedRow(y0);
        above_ = clampedRow(y0 + 1);
    }

    // The two base columns around normalised column u and the horizontal weight.
    struct Columns {
        int left;
        int right;
        float fx;
    };
    Columns columnsAt(float u) const {
        const float px = u * static_cast<float>(width_) - 0.5f;
        const int x0 = msl::saturatingConvert<int>(std::floor(px));
        // min and max rather than selections: an indexed load after selected indices would not
        // be split from the arithmetic around it.
        return {std::min(std::max(x0, 0), width_ - 1), std::min(std::max(x0 + 1, 0), width_ - 1),
                msl::fract(px)};
    }

    const float* rowBelow() const { return below_; }
    const float* rowAbove() const { return above_; }

    // The base from the four texels around a pixel at `ev`, bilinear in space and weighted by
    // how close their EV is to the pixel's; the taps in the order (0, 0), (1, 0), (0, 1), (1, 1).
    float blend(float belowLeft, float belowRight, float aboveLeft, float aboveRight, float fx,
                float ev) const {
        float sum = 0.0f, total = 0.0f;
        const auto tap = [&](float v, float spatial) {
            const float weight = spatial * recoveryRangeWeight(v - ev);
            sum += weight * v;
            total += weight;
        };
        tap(belowLeft, (1.0f - fx) * (1.0f - fy_));
        tap(belowRight, fx * (1.0f - fy_));
        tap(aboveLeft, (1.0f - fx) * fy_);
        tap(aboveRight, fx * fy_);
        return total > 1e-5f ? sum / total : ev;
    }

    // The base at normalised column u for a pixel at `ev`.
    float at(float u, float ev) const {
        const Columns c = columnsAt(u);
        return blend(below_[c.left], below_[c.right], above_[c.left], above_[c.right], c.fx, ev);
    }

  private:
    int width_;
    float fy_;
    const float* below_;
    const float* above_;
};

// Joint bilateral upsampling of the base at normalised position `uv`.
inline float recoveryBase(const GuideView& base, msl::float2 uv, float ev) {
    return RecoveryBaseRow(base, uv.y).at(uv.x, ev);
}

inline constexpr int kMeterThreads = 256;
inline constexpr float kEmptyWhitePoint = -64.0f;

// The scene white point: the largest guide EV, at least −64. This is the GPU's one threadgroup
// of 256 threads run in turn: a strided maximum per thread, then the halving reduction. Maxima
// are exact, so the result does not depend on the order.
inline float recoveryWhitePoint(const GuideView& guide) {
    std::array<float, kMeterThreads> slots;
    const long count = static_cast<long>(guide.width) * guide.height;
    for (int t = 0; t < kMeterThreads; ++t) {
        float largest = kEmptyWhitePoint;
        for (long i = t; i < count; i += kMeterThreads)
            largest = msl::max(largest, guide.texels[i]);
        slots[static_cast<std::size_t>(t)] = largest;
    }
    for (int stride = kMeterThreads / 2; stride >= 1; stride /= 2) {
        for (int t = 0; t < stride; ++t) {
            slots[static_cast<std::size_t>(t)] = msl::max(
                slots[static_cast<std::size_t>(t)], slots[static_cast<std::size_t>(t + stride)]);
        }
    }
    return slots[0];
}

// The colour-preserving shoulder used where recovery protects colour: the largest channel rolls
// off above 0.9 with all channels scaled alike (the hue is kept), and bright pixels move towards
// white by their luminance, so one clipped channel cannot draw a coloured contour.
// Branch-free (black is selected at the end), so that loops over pixels vectorise.
inline msl::float3 recoveryShoulder(msl::float3 rgb) {
    rgb = msl::max(rgb, 0.0f);
    const float y = msl::dot(rgb, kRec709Luma);
    const float peak = msl::max(rgb.x, msl::max(rgb.y, rgb.z));
    const float t = msl::max(peak - 0.9f, 0.0f);
    const float mapped = peak <= 0.9f ? peak : 0.9f + 0.1f * t / (0.1f + t);
    const msl::float3 scaled = rgb * (mapped / peak);
    const float energy = msl::max(y - 0.8f, 0.0f);
    const float neutral = energy * energy / (0.36f + energy * energy);
    const msl::float3 shouldered = msl::mix(scaled, msl::broadcast<msl::float3>(mapped), neutral);
    const bool black = y <= 0.0f;
    return {black ? rgb.x : shouldered.x, black ? rgb.y : shouldered.y,
            black ? rgb.z : shouldered.z};
}

}  // namespace quillmere
