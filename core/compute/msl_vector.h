#pragma once

#include <cmath>
#include <concepts>

namespace quillmere::msl {

// Small float vectors with the component-wise arithmetic of the shading language, so that
// kernels read like the formulas they implement. Components are x, y, z, w (red, green, blue,
// alpha for colours).

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

struct float4 {
    static constexpr int size = 4;
    float x = 0, y = 0, z = 0, w = 0;
    constexpr float4() = default;
    constexpr float4(float x, float y, float z, float w) : x(x), y(y), z(z), w(w) {}
    constexpr float4(float3 xyz, float w) : x(xyz.x), y(xyz.y), z(xyz.z), w(w) {}
    constexpr float3 xyz() const { return {x, y, z}; }
    constexpr float& operator[](int i) { return i == 0 ? x : i == 1 ? y : i == 2 ? z : w; }
    constexpr float operator[](int i) const { return i == 0 ? x : i == 1 ? y : i == 2 ? z : w; }
    friend constexpr bool operator==(const float4&, const float4&) = default;
};

template <class V>
concept FloatVector = std::same_as<V, float2> || std::same_as<V, float3> || std::same_as<V, float4>;

// Applies `op` to each component (and to the matching component of `b`).
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
constexpr V operator/(V a, V b) {
    return componentwise(a, b, [](float p, float q) { return p / q; });
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
    return a / broadcast<V>(s);
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
template <FloatVector V>
constexpr V operator/(float s, V a) {
    return broadcast<V>(s) / a;
}
template <FloatVector V>
constexpr V operator-(V a) {
    return componentwise(a, [](float p) { return -p; });
}

template <FloatVector V, class Rhs>
constexpr V& operator+=(V& a, Rhs b) {
    return a = a + b;
}
template <FloatVector V, class Rhs>
constexpr V& operator-=(V& a, Rhs b) {
    return a = a - b;
}
template <FloatVector V, class Rhs>
constexpr V& operator*=(V& a, Rhs b) {
    return a = a * b;
}
template <FloatVector V, class Rhs>
constexpr V& operator/=(V& a, Rhs b) {
    return a = a / b;
}

// Sum of the products, accumulated from the first component to the last.
template <FloatVector V>
constexpr float dot(V a, V b) {
    float sum = a[0] * b[0];
    for (int i = 1; i < V::size; ++i) sum = sum + a[i] * b[i];
    return sum;
}

template <FloatVector V>
inline float length(V a) {
    return std::sqrt(dot(a, a));
}

}  // namespace quillmere::msl
