#pragma once

#include <bit>
#include <cstdint>

namespace quillmere::rawbridge {

// 1.0 as a half float: the alpha of every pixel the bridge hands out.
inline constexpr std::uint16_t kHalfOne = 0x3c00;

// The IEEE 754 half-precision bits of `value`, rounded to nearest with ties to even, as the GPU
// formats expect. Values beyond the half range become infinities and a NaN stays a (quiet) NaN.
inline std::uint16_t halfFromFloat(float value) {
    constexpr std::uint32_t kFloatInfinity = 0xffu << 23;
    constexpr std::uint32_t kFirstOverflow = (127u + 16u) << 23;  // 65536: infinite as a half
    constexpr std::uint32_t kSmallestNormal = (127u - 14u) << 23;  // 2^-14
    // Adding 0.5 (as a float with this exponent) lines the ten half mantissa bits up at the bottom
    // of the float, and the float addition rounds them to nearest even.
    constexpr std::uint32_t kSubnormalMagic = ((127u - 15u) + (23u - 10u) + 1u) << 23;

    std::uint32_t bits = std::bit_cast<std::uint32_t>(value);
    const auto sign = static_cast<std::uint16_t>((bits >> 16) & 0x8000u);
    bits &= 0x7fffffffu;
    if (bits >= kFirstOverflow) {
        return sign | (bits > kFloatInfinity ? 0x7e00u : 0x7c00u);
    }
    if (bits < kSmallestNormal) {
        const float aligned =
            std::bit_cast<float>(bits) + std::bit_cast<float>(kSubnormalMagic);
        return sign | static_cast<std::uint16_t>(std::bit_cast<std::uint32_t>(aligned) -
                                                 kSubnormalMagic);
    }
    const std::uint32_t mantissaIsOdd = (bits >> 13) & 1u;
    // Rebias the exponent and add just under half a half-ulp; an odd mantissa adds the rest, so
    // ties go to even. A carry out of the mantissa raises the exponent, up to infinity.
    bits += (static_cast<std::uint32_t>(15 - 127) << 23) + 0xfffu + mantissaIsOdd;
    return sign | static_cast<std::uint16_t>(bits >> 13);
}

}  // namespace quillmere::rawbridge
