#include "core/compute/half_float.h"

#include <cstddef>
#include <stdexcept>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define QUILLMERE_HAVE_F16C_PATH 1
#endif

namespace quillmere {
namespace {

#if QUILLMERE_HAVE_F16C_PATH

// The develop passes convert every row they touch, so the conversion runs on the vector unit
// where the processor offers F16C; the build itself stays runnable on processors without it.
bool processorHasF16C() {
    // F16C is bit 29 of ECX in CPUID leaf 1 (asked directly: clang, which builds the fuzz
    // targets, has no "f16c" for __builtin_cpu_supports); its instructions also need the AVX state
    // that the system saves, which "avx" tells.
    static const bool supported = [] {
        unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
        return __builtin_cpu_supports("avx") && __get_cpuid(1, &eax, &ebx, &ecx, &edx) != 0 &&
               (ecx & bit_F16C) != 0;
    }();
    return supported;
}

__attribute__((target("avx,f16c"))) void halfToFloatF16C(const std::uint16_t* halves, float* floats,
                                                         std::size_t count) {
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m128i packed = _mm_loadu_si128(reinterpret_cast<const __m128i*>(halves + i));
        _mm256_storeu_ps(floats + i, _mm256_cvtph_ps(packed));
    }
    for (; i < count; ++i) floats[i] = halfToFloat(halves[i]);
}

__attribute__((target("avx,f16c"))) void floatToHalfF16C(const float* floats, std::uint16_t* halves,
                                                         std::size_t count) {
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m128i packed =
            _mm256_cvtps_ph(_mm256_loadu_ps(floats + i), _MM_FROUND_TO_NEAREST_INT);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(halves + i), packed);
    }
    for (; i < count; ++i) halves[i] = floatToHalf(floats[i]);
}

#endif

}  // namespace

void convertHalfToFloat(std::span<const std::uint16_t> halves, std::span<float> floats) {
    if (floats.size() < halves.size()) {
        throw std::invalid_argument("convertHalfToFloat: output too short");
    }
#if QUILLMERE_HAVE_F16C_PATH
    if (processorHasF16C()) {
        halfToFloatF16C(halves.data(), floats.data(), halves.size());
        return;
    }
#endif
    for (std::size_t i = 0; i < halves.size(); ++i) floats[i] = halfToFloat(halves[i]);
}

void convertFloatToHalf(std::span<const float> floats, std::span<std::uint16_t> halves) {
    if (halves.size() < floats.size()) {
        throw std::invalid_argument("convertFloatToHalf: output too short");
    }
#if QUILLMERE_HAVE_F16C_PATH
    if (processorHasF16C()) {
        floatToHalfF16C(floats.data(), halves.data(), floats.size());
        return;
    }
#endif
    for (std::size_t i = 0; i < floats.size(); ++i) halves[i] = floatToHalf(floats[i]);
}

}  // namespace quillmere
