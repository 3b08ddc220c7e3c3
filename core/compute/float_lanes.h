#pragma once

#include <cstdint>
#include <cstring>

// Eight floats (or 32-bit integers) worked on as one value, with the compiler's vector
// extensions: for the few kernel steps whose loops the compiler does not vectorise by itself,
// because they look values up in small tables (a lookup in eight or sixteen entries held in
// registers is one or two permutes). Every operation is the IEEE operation of each lane, so a
// function compiled for AVX2 and for the baseline processor gives the same bits.
//
// Functions taking or returning lanes are always inlined: the way eight floats are passed
// between functions differs between those two builds, which is harmless only when they are never
// passed at all (core/CMakeLists.txt silences the compiler's notes about it).

namespace quillmere::lanes {

inline constexpr int kCount = 8;

using Floats = float __attribute__((vector_size(32)));
using Ints = std::int32_t __attribute__((vector_size(32)));

[[gnu::always_inline]] inline Floats load(const float* values) {
    Floats lanes;
    std::memcpy(&lanes, values, sizeof lanes);
    return lanes;
}

[[gnu::always_inline]] inline void store(float* values, Floats lanes) {
    std::memcpy(values, &lanes, sizeof lanes);
}

[[gnu::always_inline]] inline Floats broadcast(float value) { return Floats{} + value; }

// table[index] in every lane; only the low three bits of each index are used.
[[gnu::always_inline]] inline Floats lookUp(Floats table, Ints index) {
    return __builtin_shuffle(table, index);
}

// The entry `index` of the sixteen in `low` then `high`; only the low four bits are used.
[[gnu::always_inline]] inline Floats lookUp(Floats low, Floats high, Ints index) {
    return __builtin_shuffle(low, high, index);
}

// Rounds towards minus infinity, for values whose magnitude is below 2^31.
[[gnu::always_inline]] inline Ints floorToInt(Floats x) {
    const Ints truncated = __builtin_convertvector(x, Ints);
    // A comparison gives −1 in the lanes where it holds.
    return truncated + (__builtin_convertvector(truncated, Floats) > x);
}

}  // namespace quillmere::lanes

