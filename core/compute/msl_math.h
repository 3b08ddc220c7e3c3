#pragma once

#include <bit>
#include <cmath>
#include <concepts>
#include <cstdint>
#include <limits>

#include "core/compute/msl_vector.h"

namespace quillmere::msl {

// The shading language's helpers with the GPU's semantics, which differ from a naive C++
// reading where NaN is involved: max and min return the other operand when one is NaN, so
// clamp(NaN, lo, hi) gives lo, and smoothstep and saturate of NaN give 0. Kernels use these
// instead of std::max/std::clamp (which would pass NaN through or depend on argument order).

//
// max and min are written out rather than calling fmaxf and fminf, which the compiler never
// inlines (no instruction has their NaN rule) and which cost a library call each in every
// per-pixel loop. They give the C library's results bit for bit: the first operand when the two
// compare equal (so the sign of a zero result matches too), the other operand when one is NaN,
// the second when both are.
// Both are branch-free, and choose by blending bits rather than by a selection: the compiler
// pushes later comparisons of a selected value back through the selection, and its vectoriser
// rejects what that makes of them (NaN tests of chained clamps, the tests inside pow).
namespace detail {
inline float blend(bool takeFirst, float first, float second) {
    const std::uint32_t mask = 0u - static_cast<std::uint32_t>(takeFirst);
    return std::bit_cast<float>((std::bit_cast<std::uint32_t>(first) & mask) |
                                (std::bit_cast<std::uint32_t>(second) & ~mask));
}
}  // namespace detail
inline float max(float a, float b) { return detail::blend((a >= b) | ((b != b) & (a == a)), a, b); }
inline float min(float a, float b) { return detail::blend((a <= b) | ((b != b) & (a == a)), a, b); }
inline float clamp(float x, float lo, float hi) { return min(max(x, lo), hi); }
inline float saturate(float x) { return clamp(x, 0.0f, 1.0f); }
inline float mix(float a, float b, float t) { return a + (b - a) * t; }

// The position between the edges is scaled by the reciprocal of their distance, which the
// compiler works out once where the edges are constants (as the develop's nearly always are)
// instead of dividing for every pixel; smoothstepScaled takes it worked out by the caller.
inline float smoothstepScaled(float edge0, float inverseWidth, float x) {
    const float t = clamp((x - edge0) * inverseWidth, 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}
inline float smoothstep(float edge0, float edge1, float x) {
    return smoothstepScaled(edge0, 1.0f / (edge1 - edge0), x);
}

// x − floor(x), kept below 1 (the largest float under 1 for tiny negative x; NaN also gives it).
inline float fract(float x) { return min(x - std::floor(x), 0x1.fffffep-1f); }

// x − y·trunc(x / y): the remainder keeps the sign of x.
inline float fmod(float x, float y) { return x - y * std::trunc(x / y); }

namespace detail {

// e^x for x within −86.5 ... 88.72283 (NaN gives NaN), without the clamping of msl::exp: for
// callers that keep their arguments in range themselves.
inline float expInRange(float x) {
    constexpr float kRoundingShift = 0x1.8p23f;  // adding it rounds to an integer
    // x = n·ln 2 + r with |r| ≤ ln 2 / 2; ln 2 is split so that n·ln2High is exact.
    const float shifted = x * 1.44269504088896341f + kRoundingShift;
    const float n = shifted - kRoundingShift;
    const float r = (x - n * 0.693359375f) - n * -2.12194440e-4f;
    float p = 1.9875691500e-4f;
    p = p * r + 1.3981999507e-3f;
    p = p * r + 8.3334519073e-3f;
    p = p * r + 4.1665795894e-2f;
    p = p * r + 1.6666665459e-1f;
    p = p * r + 5.0000001201e-1f;
    const float er = p * (r * r) + r + 1.0f;
    // 2^(n − 1) from n's bits in the shifted sum (n ≥ −125 keeps it a normal float); the
    // doubled e^r makes up the missing factor 2.
    const std::uint32_t biasedExponent =
        std::bit_cast<std::uint32_t>(shifted) - std::bit_cast<std::uint32_t>(kRoundingShift) + 126u;
    return (er * 2.0f) * std::bit_cast<float>(biasedExponent << 23);
}

}  // namespace detail

// e^x to within 2 ulp, made of additions and multiplications only: loops over it vectorise, and
// every machine computes the same bits (the C library's expf is never vectorised here and may
// change between library versions). Results below e^-86.5 (about 2.7e-38) are 0, arguments above
// about 88.72 give +inf, NaN gives NaN.
inline float exp(float x) {
    constexpr float kLowest = -86.5f;
    constexpr float kHighest = 88.72283f;
    // Both comparisons are made unconditionally so that the selections below are branch-free.
    const bool below = x < kLowest;
    const bool above = x > kHighest;
    const float result = detail::expInRange(below ? kLowest : (above ? kHighest : x));
    return above ? std::numeric_limits<float>::infinity() : (below ? 0.0f : result);
}

namespace detail {

// log2 of a positive finite float (denormals included) in double precision, with a relative
// error below 2^-33: enough that the float results built on it are faithfully rounded. Only
// additions, multiplications, one division and bit moves, so loops over it vectorise.
inline double log2Wide(float x) {
    // Denormals are scaled into the normal range first; the exponent is corrected below.
    const bool denormal = x < 0x1p-126f;
    const float scaled = denormal ? x * 0x1p23f : x;
    // x = 2^e · m with m in [√½, √2), so that log m is small and of either sign.
    // Unsigned arithmetic: the callers pass every float here, negative ones too, and select
    // another result for those; the subtraction must not overflow for them.
    const std::uint32_t bits = std::bit_cast<std::uint32_t>(scaled);
    const std::uint32_t offset = bits - 0x3f3504f3u;                 // the bits of √½
    const std::int32_t e = static_cast<std::int32_t>(offset) >> 23;  // floor division
    const float m = std::bit_cast<float>(bits - (static_cast<std::uint32_t>(e) << 23));
    // log m = 2·atanh(s) = 2·s·(1 + s²/3 + s⁴/5 + ... + s¹⁰/11) with s = (m − 1)/(m + 1),
    // |s| ≤ 0.172; the polynomial in s² is evaluated in pairs to shorten the dependency chain.
    const double md = m;
    const double s = (md - 1.0) / (md + 1.0);
    const double s2 = s * s;
    const double s4 = s2 * s2;
    const double low = 1.0 / 3.0 + s2 * (1.0 / 5.0);
    const double high = 1.0 / 7.0 + s2 * (1.0 / 9.0);
    const double series = (low + s4 * high) + (s4 * s4) * (1.0 / 11.0);
    const double logM = (2.0 * s) * (1.0 + s2 * series);
    constexpr double kInverseLn2 = 1.4426950408889634074;
    return static_cast<double>(e - (denormal ? 23 : 0)) + logM * kInverseLn2;
}

// 2^t in double precision with a relative error below 2^-31, for t whose result is wanted as a
// float: t is limited to −160...130, beyond which the float result is 0 or infinity anyway.
// NaN gives an unspecified value; callers select NaN themselves.
inline double exp2Wide(double t) {
    const double clamped = t < -160.0 ? -160.0 : (t > 130.0 ? 130.0 : t);
    constexpr double kRoundingShift = 0x1.8p52;  // adding it rounds to an integer
    const double shifted = clamped + kRoundingShift;
    const double n = shifted - kRoundingShift;
    const double r = (clamped - n) * 0.69314718055994530942;  // exact subtraction, |r| ≤ ln2/2
    // e^r by its Taylor series to r^8 / 8!, evaluated in pairs (Estrin's scheme) to shorten the
    // dependency chain.
    const double r2 = r * r;
    const double r4 = r2 * r2;
    const double p01 = 1.0 + r;
    const double p23 = 1.0 / 2.0 + r * (1.0 / 6.0);
    const double p45 = 1.0 / 24.0 + r * (1.0 / 120.0);
    const double p67 = 1.0 / 720.0 + r * (1.0 / 5040.0);
    const double p03 = p01 + r2 * p23;
    const double p47 = p45 + r2 * p67;
    const double p = (p03 + r4 * p47) + (r4 * r4) * (1.0 / 40320.0);
    // 2^n from n's bits in the shifted sum; n is within −160...130, so 2^n is a normal double.
    const std::uint64_t biasedExponent = std::bit_cast<std::uint64_t>(shifted) -
                                         std::bit_cast<std::uint64_t>(kRoundingShift) + 1023u;
    return p * std::bit_cast<double>(biasedExponent << 52);
}

}  // namespace detail

// log2, exp2 and pow within 1 ulp, evaluated in double precision from additions and
// multiplications: loops over them vectorise (the C library's are never vectorised here and
// may change between library versions), and every machine computes the same bits. Special
// values follow the C library: log2 gives −inf at ±0, NaN below 0, +inf at +inf.
inline float log2(float x) {
    const float finite = static_cast<float>(detail::log2Wide(x));
    const float special = x == 0.0f ? -std::numeric_limits<float>::infinity()
                                    : (x > 0.0f ? x : std::numeric_limits<float>::quiet_NaN());
    return x > 0.0f && x < std::numeric_limits<float>::infinity() ? finite : special;
}

// Results below the smallest denormal are 0; from 128 on they are +inf; NaN gives NaN.
inline float exp2(float x) {
    const float result = static_cast<float>(detail::exp2Wide(x));
    return x != x ? x : result;
}

// x^y with the C library's special cases: pow(x, ±0) = 1 and pow(1, y) = 1 even for NaN,
// pow(−1, ±inf) = 1, negative x gives NaN unless y is an integer (odd y keeps the sign),
// zero and infinite x give 0 or inf by the sign of y.
inline float pow(float x, float y) {
    constexpr float kInfinity = std::numeric_limits<float>::infinity();
    constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
    // x is examined through its bits: float comparisons on x would be folded into whatever
    // selection computed x, into forms the compiler cannot vectorise.
    const std::uint32_t xBits = std::bit_cast<std::uint32_t>(x);
    const std::uint32_t magnitudeBits = xBits & 0x7fffffffu;
    constexpr std::uint32_t kInfinityBits = 0x7f800000u, kOneBits = 0x3f800000u;
    const bool finitePositive = magnitudeBits - 1u < kInfinityBits - 1u;  // not 0, inf or NaN
    const float magnitude = std::bit_cast<float>(magnitudeBits);
    const float power = static_cast<float>(detail::exp2Wide(
        static_cast<double>(y) * detail::log2Wide(finitePositive ? magnitude : 1.0f)));
    // Zero, infinite and NaN magnitudes: the limit of 2^(y·log2|x|) with log2 0 = −inf.
    const float limitExponent = y * (magnitudeBits == 0u ? -kInfinity : magnitude);
    const float limitPower =
        limitExponent != limitExponent ? kNaN : (limitExponent > 0.0f ? kInfinity : 0.0f);
    const float unsignedPower = finitePositive ? (y != y ? kNaN : power) : limitPower;
    const bool yInteger = std::trunc(y) == y;  // true for ±inf, false for NaN
    const float halfY = y * 0.5f;
    const bool yOdd = yInteger & (std::trunc(halfY) != halfY);
    // Non-short-circuit & and |: each test is a plain mask, which keeps loops branch-free.
    const bool one = (y == 0.0f) | (xBits == kOneBits) |
                     ((magnitudeBits == kOneBits) & (std::fabs(y) == kInfinity));
    // Negative finite non-zero x to a fractional power (NaN stays NaN through limitPower).
    const bool undefined = ((xBits >> 31) != 0u) & finitePositive & !yInteger;
    const float signedPower = ((xBits >> 31) != 0u) & yOdd ? -unsignedPower : unsignedPower;
    return one ? 1.0f : (undefined ? kNaN : signedPower);
}

// log2 and exp2 in single precision, for the per-pixel EV arithmetic of the develop: a few
// ulp from the exact result (the precise forms above are correctly rounded nearly always, and
// cost two to three times as much in double precision). Special values as the precise forms.
namespace fast {
namespace detail {

// x = 2^exponent · m with m in [√½, √2), for every x; log2 m within 1e-7 (absolute) when x is
// a positive normal float, an unspecified finite value otherwise.
struct Log2Parts {
    float exponent;
    float ofMantissa;
};
inline Log2Parts log2Parts(float x) {
    const std::uint32_t bits = std::bit_cast<std::uint32_t>(x);
    const std::uint32_t offset = bits - 0x3f3504f3u;                 // the bits of √½
    const std::int32_t e = static_cast<std::int32_t>(offset) >> 23;  // floor division
    // In [√½, √2) whatever x is: offset minus e's multiple of 2^23 lies in [0, 2^23).
    const float m = std::bit_cast<float>(bits - (static_cast<std::uint32_t>(e) << 23));
    // log2 m = (2 / ln 2)·atanh(s), s = (m − 1)/(m + 1), |s| ≤ 0.172: the series to s⁷ leaves
    // 2e-8.
    const float s = (m - 1.0f) / (m + 1.0f);
    const float s2 = s * s;
    const float series = 1.0f + s2 * (1.0f / 3.0f + s2 * (1.0f / 5.0f + s2 * (1.0f / 7.0f)));
    constexpr float kTwoOverLn2 = 2.8853900817779268f;
    return {static_cast<float>(e), kTwoOverLn2 * s * series};
}

// e^(f·ln 2) for |f| ≤ 0.5 (a little more is harmless) by its Taylor series to the seventh
// power: truncation below 1e-8.
inline float exp2Reduced(float f) {
    const float x = f * 0.693147180559945309f;
    float p = 1.0f / 5040.0f;
    p = p * x + 1.0f / 720.0f;
    p = p * x + 1.0f / 120.0f;
    p = p * x + 1.0f / 24.0f;
    p = p * x + 1.0f / 6.0f;
    p = p * x + 0.5f;
    p = p * x + 1.0f;
    return p * x + 1.0f;
}

// 2^n for an integer n within −126...127.
inline float powerOfTwo(float n) {
    return std::bit_cast<float>(static_cast<std::uint32_t>(static_cast<std::int32_t>(n) + 127)
                                << 23);
}

}  // namespace detail

inline float log2(float x) {
    // Denormals are scaled into the normal range first; the exponent is corrected below.
    const bool denormal = x < 0x1p-126f;
    const detail::Log2Parts parts = detail::log2Parts(denormal ? x * 0x1p23f : x);
    const float finite = (parts.exponent - (denormal ? 23.0f : 0.0f)) + parts.ofMantissa;
    const float special = x == 0.0f ? -std::numeric_limits<float>::infinity()
                                    : (x > 0.0f ? x : std::numeric_limits<float>::quiet_NaN());
    return x > 0.0f && x < std::numeric_limits<float>::infinity() ? finite : special;
}

// Results below the smallest denormal are 0; from 128 on they are +inf; NaN gives NaN.
inline float exp2(float t) {
    // NaN goes to −160 here, so that n is always an integer in range; it is selected back below.
    const float clamped = t >= -160.0f ? (t <= 130.0f ? t : 130.0f) : -160.0f;
    const float n = std::floor(clamped + 0.5f);
    // 2^n in two halves, each a normal float, so that denormal and infinite results round once.
    const float lower = std::floor(n * 0.5f);
    const float result = detail::exp2Reduced(clamped - n) * detail::powerOfTwo(lower) *
                         detail::powerOfTwo(n - lower);
    return t != t ? t : result;
}

}  // namespace fast

// Float to integer as the GPU converts: toward zero, saturated to the integer's range, NaN to 0.
// Never undefined behaviour, whatever the value.
template <std::integral Int>
inline Int saturatingConvert(float value) {
    const bool isNaN = value != value;
    constexpr float lowest = static_cast<float>(std::numeric_limits<Int>::min());
    // 2^digits is exactly representable and is the first value above the integer's range.
    constexpr float aboveHighest = [] {
        float power = 1.0f;
        for (int i = 0; i < std::numeric_limits<Int>::digits; ++i) power *= 2.0f;
        return power;
    }();
    // Only a value inside the range is converted, which keeps the conversion defined; the limits
    // are then selected (selections rather than branches, so that loops over values vectorise).
    const bool inside = (value > lowest) & (value < aboveHighest);
    const Int converted = static_cast<Int>(inside ? value : 0.0f);
    return isNaN ? Int{0}
                 : (value <= lowest
                        ? std::numeric_limits<Int>::min()
                        : (value >= aboveHighest ? std::numeric_limits<Int>::max() : converted));
}

// Component-wise forms, with a scalar broadcast where the shading language allows one.
template <FloatVector V>
inline V max(V a, V b) {
    return componentwise(a, b, [](float p, float q) { return max(p, q); });
}
template <FloatVector V>
inline V min(V a, V b) {
    return componentwise(a, b, [](float p, float q) { return min(p, q); });
}
template <FloatVector V>
inline V max(V a, float s) {
    return max(a, broadcast<V>(s));
}
template <FloatVector V>
inline V min(V a, float s) {
    return min(a, broadcast<V>(s));
}
template <FloatVector V>
inline V clamp(V x, V lo, V hi) {
    return min(max(x, lo), hi);
}
template <FloatVector V>
inline V clamp(V x, float lo, float hi) {
    return min(max(x, lo), hi);
}
template <FloatVector V>
inline V saturate(V x) {
    return clamp(x, 0.0f, 1.0f);
}
template <FloatVector V>
inline V mix(V a, V b, float t) {
    return a + (b - a) * t;
}
template <FloatVector V>
inline V mix(V a, V b, V t) {
    return a + (b - a) * t;
}
template <FloatVector V>
inline V abs(V a) {
    return componentwise(a, [](float p) { return std::fabs(p); });
}
template <FloatVector V>
inline V floor(V a) {
    return componentwise(a, [](float p) { return std::floor(p); });
}
template <FloatVector V>
inline V fract(V a) {
    return componentwise(a, [](float p) { return fract(p); });
}

}  // namespace quillmere::msl
