#pragma once

#include <bit>
#include <cstdint>
#include <span>

namespace quillmere {

// IEEE 754 binary16 ("half") conversions, bit-exact with the GPU's: float to half rounds to
// nearest with ties to even, magnitudes from 65520 on (which round past the largest finite half,
// 65504) become infinity, and a NaN becomes a quiet NaN with its sign and the top bits of its
// payload (both directions). The scalar functions are branch-light bit manipulation; the span
// functions convert whole rows with the processor's F16C instructions when it has them and give the
// same bits either way.

inline float halfToFloat(std::uint16_t half) {
    const std::uint32_t sign = static_cast<std::uint32_t>(half & 0x8000u) << 16;
    const std::uint32_t exponent = (half >> 10) & 0x1fu;
    const std::uint32_t mantissa = half & 0x3ffu;
    if (exponent == 0x1fu) {  // infinity, or NaN made quiet as the hardware does
        const std::uint32_t quiet = mantissa != 0 ? 0x00400000u : 0u;
        return std::bit_cast<float>(sign | 0x7f800000u | quiet | (mantissa << 13));
    }
    if (exponent == 0) {  // zero or subnormal: mantissa × 2^-24, exact in a float
        const float magnitude = static_cast<float>(mantissa) * 0x1p-24f;
        return std::bit_cast<float>(sign | std::bit_cast<std::uint32_t>(magnitude));
    }
    return std::bit_cast<float>(sign | ((exponent + 112u) << 23) | (mantissa << 13));
}

inline std::uint16_t floatToHalf(float value) {
    constexpr std::uint32_t floatInfinity = 0xffu << 23;
    constexpr std::uint32_t halfOverflow = (127u + 16u) << 23;  // 65536: always infinity
    constexpr std::uint32_t smallestNormal = 113u << 23;        // 2^-14
    constexpr std::uint32_t subnormalMagic = ((127u - 15u) + (23u - 10u) + 1u) << 23;

    std::uint32_t bits = std::bit_cast<std::uint32_t>(value);
    const std::uint32_t sign = bits & 0x80000000u;
    bits ^= sign;
    std::uint32_t half;
    if (bits >= halfOverflow) {
        half = bits > floatInfinity ? (0x7e00u | ((bits >> 13) & 0x3ffu)) : 0x7c00u;
    } else if (bits < smallestNormal) {
        // Adding the magic number lets the floating-point unit round the subnormal result to
        // nearest even; the low bits of the sum are then the half's mantissa.
        const float sum = std::bit_cast<float>(bits) + std::bit_cast<float>(subnormalMagic);
        half = std::bit_cast<std::uint32_t>(sum) - subnormalMagic;
    } else {
        const std::uint32_t mantissaOdd = (bits >> 13) & 1u;
        bits += ((15u - 127u) << 23) + 0xfffu;  // rebias the exponent, add half an ulp minus one
        bits += mantissaOdd;                    // ties go to even
        half = bits >> 13;                      // a carry into the exponent may give infinity
    }
    return static_cast<std::uint16_t>(half | (sign >> 16));
}

// Converts halves.size() values; `floats` must hold at least as many.
void convertHalfToFloat(std::span<const std::uint16_t> halves, std::span<float> floats);
// Converts floats.size() values; `halves` must hold at least as many.
void convertFloatToHalf(std::span<const float> floats, std::span<std::uint16_t> halves);

}  // namespace quillmere
