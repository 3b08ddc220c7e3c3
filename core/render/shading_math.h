#pragma once

// Stand-in for the compute layer's shading helpers (core/compute/msl_math.h, msl_vector.h,
// luminance.h) until that layer is on this branch: the same names and the same GPU semantics, so
// switching is a change of include. Only what the develop kernels use is here.

#include <cmath>
#include <concepts>
#include <limits>

namespace quillmere::msl {

struct float2 {
    static constexpr int size = 2;
    float x = 0, y = 0;
    constexpr float& operator[](int i) { return i == 0 ? x : y; }
    constexpr float operator[](int i) const { return i == 0 ? x : y; }
    friend constexpr bool operator==(const float2&, const float2&) = default;
};

struct float3 {
    static constexpr int size = 3;
    float x = 0, y = 0, z = 0;
    constexpr float& operator[](int i) { return i == 0 ? x : i == 1 ? y : z; }
    constexpr float operator[](int i) const { return i == 0 ? x : i == 1 ? y : z; }
    friend constexpr bool operator==(const float3&, const float3&) = default;
};

template <class V>
concept FloatVector = std::same_as<V, float2> || std::same_as<V, float3>;

template <FloatVector V, class Op>
constexpr V componentwise(V a, Op op) {
    for (int i = 0; i < V::size; ++i) a[i] = op(a[i]);
    return a;
}
template <FloatVector V, class Op>
constexpr V componentwise(V a, V b, Op op) {
    for (int i = 0; i < V::size; ++i) a[i] = op(a[i], b[i]);
    return a;
}
template <FloatVector V>
constexpr V broadcast(float s) {
    V v;
    for (int i = 0; i < V::size; ++i) v[i] = s;
    return v;
}

template <FloatVector V>
constexpr V operator+(V a, V b) {
    return componentwise(a, b, [](float p, float q) { return p + q; });
}
template <FloatVector V>
constexpr V operator-(V a, V b) {
    return componentwise(a, b, [](float p, float q) { return p - q; });
}
template <FloatVector V>
constexpr V operator*(V a, V b) {
    return componentwise(a, b, [](float p, float q) { return p * q; });
}
template <FloatVector V>
constexpr V operator+(V a, float s) {
    return a + broadcast<V>(s);
}
template <FloatVector V>
constexpr V operator-(V a, float s) {
    return a - broadcast<V>(s);
}
template <FloatVector V>
constexpr V operator*(V a, float s) {
    return a * broadcast<V>(s);
}
template <FloatVector V>
constexpr V operator/(V a, float s) {
    return componentwise(a, [s](float p) { return p / s; });
}
template <FloatVector V>
constexpr V operator+(float s, V a) {
    return broadcast<V>(s) + a;
}
template <FloatVector V>
constexpr V operator-(float s, V a) {
    return broadcast<V>(s) - a;
}
template <FloatVector V>
constexpr V operator*(float s, V a) {
    return broadcast<V>(s) * a;
}
template <FloatVector V, class Rhs>
constexpr V& operator+=(V& a, Rhs b) {
    return a = a + b;
}
template <FloatVector V, class Rhs>
constexpr V& operator*=(V& a, Rhs b) {
    return a = a * b;
}

template <FloatVector V>
constexpr float dot(V a, V b) {
    float sum = a[0] * b[0];
    for (int i = 1; i < V::size; ++i) sum = sum + a[i] * b[i];
    return sum;
}

inline float max(float a, float b) { return std::fmax(a, b); }
inline float min(float a, float b) { return std::fmin(a, b); }
inline float clamp(float x, float lo, float hi) { return std::fmin(std::fmax(x, lo), hi); }
inline float mix(float a, float b, float t) { return a + (b - a) * t; }

inline float smoothstep(float edge0, float edge1, float x) {
    const float t = clamp((x - edge0) / (edge1 - edge0), 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}

inline float fract(float x) { return std::fmin(x - std::floor(x), 0x1.fffffep-1f); }
inline float fmod(float x, float y) { return x - y * std::trunc(x / y); }

template <std::integral Int>
inline Int saturatingConvert(float value) {
    if (std::isnan(value)) return 0;
    constexpr float lowest = static_cast<float>(std::numeric_limits<Int>::min());
    constexpr float aboveHighest = [] {
        float power = 1.0f;
        for (int i = 0; i < std::numeric_limits<Int>::digits; ++i) power *= 2.0f;
        return power;
    }();
    if (value <= lowest) return std::numeric_limits<Int>::min();
    if (value >= aboveHighest) return std::numeric_limits<Int>::max();
    return static_cast<Int>(value);
}

template <FloatVector V>
inline V max(V a, float s) {
    return componentwise(a, [s](float p) { return max(p, s); });
}
template <FloatVector V>
inline V clamp(V x, float lo, float hi) {
    return componentwise(x, [lo, hi](float p) { return clamp(p, lo, hi); });
}
template <FloatVector V>
inline V mix(V a, V b, float t) {
    return a + (b - a) * t;
}

}  // namespace quillmere::msl

namespace quillmere {

inline constexpr msl::float3 kRec709Luma{0.2126f, 0.7152f, 0.0722f};
inline constexpr msl::float3 kRec601Luma{0.299f, 0.587f, 0.114f};

}  // namespace quillmere
