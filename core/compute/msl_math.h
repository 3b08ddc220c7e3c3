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
// The comparison compiles to a branch-free select; the NaN test is a branch that is only ever
// taken for NaN, so it costs nothing on real pixels.
inline float max(float a, float b) {
    const float larger = a >= b ? a : b;
    return (b != b) & (a == a) ? a : larger;
}
inline float min(float a, float b) {
    const float smaller = a <= b ? a : b;
    return (b != b) & (a == a) ? a : smaller;
}
inline float clamp(float x, float lo, float hi) { return min(max(x, lo), hi); }
inline float saturate(float x) { return clamp(x, 0.0f, 1.0f); }
inline float mix(float a, float b, float t) { return a + (b - a) * t; }

inline float smoothstep(float edge0, float edge1, float x) {
    const float t = clamp((x - edge0) / (edge1 - edge0), 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}

// x − floor(x), kept below 1 (the largest float under 1 for tiny negative x; NaN also gives it).
inline float fract(float x) { return min(x - std::floor(x), 0x1.fffffep-1f); }

// x − y·trunc(x / y): the remainder keeps the sign of x.
inline float fmod(float x, float y) { return x - y * std::trunc(x / y); }

// e^x to within 2 ulp, made of additions and multiplications only: loops over it vectorise, and
// every machine computes the same bits (the C library's expf is never vectorised here and may
// change between library versions). Results below e^-86.5 (about 2.7e-38) are 0, arguments above
// about 88.72 give +inf, NaN gives NaN.
inline float exp(float x) {
    constexpr float kLowest = -86.5f;
    constexpr float kHighest = 88.72283f;
    constexpr float kRoundingShift = 0x1.8p23f;  // adding it rounds to an integer
    // Both comparisons are made unconditionally so that the selections below are branch-free.
    const bool below = x < kLowest;
    const bool above = x > kHighest;
    const float clamped = below ? kLowest : (above ? kHighest : x);
    // x = n·ln 2 + r with |r| ≤ ln 2 / 2; ln 2 is split so that n·ln2High is exact.
    const float shifted = clamped * 1.44269504088896341f + kRoundingShift;
    const float n = shifted - kRoundingShift;
    const float r = (clamped - n * 0.693359375f) - n * -2.12194440e-4f;
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
    const float result = (er * 2.0f) * std::bit_cast<float>(biasedExponent << 23);
    return above ? std::numeric_limits<float>::infinity() : (below ? 0.0f : result);
}

// Float to integer as the GPU converts: toward zero, saturated to the integer's range, NaN to 0.
// Never undefined behaviour, whatever the value.
template <std::integral Int>
inline Int saturatingConvert(float value) {
    if (std::isnan(value)) return 0;
    constexpr float lowest = static_cast<float>(std::numeric_limits<Int>::min());
    // 2^digits is exactly representable and is the first value above the integer's range.
    constexpr float aboveHighest = [] {
        float power = 1.0f;
        for (int i = 0; i < std::numeric_limits<Int>::digits; ++i) power *= 2.0f;
        return power;
    }();
    if (value <= lowest) return std::numeric_limits<Int>::min();
    if (value >= aboveHighest) return std::numeric_limits<Int>::max();
    return static_cast<Int>(value);
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
