#pragma once

#include <cstddef>
#include <cstdint>

#include "core/compute/msl_vector.h"

namespace quillmere {

// The parameter records of the sharpening kernels, exactly as the kernels read them from their
// buffer slots. The static_asserts below pin the layout so both sides always agree.

// The widest Gaussian reaches this many taps to each side of the centre.
inline constexpr int kSharpenMaxSupport = 9;
inline constexpr int kSharpenTapCount = 2 * kSharpenMaxSupport + 1;

// Buffer 0 of every sharpening pass: 16 bytes.
struct SharpenUniforms {
    float amount = 0;   // sanitised amount / 50: 0...3
    float detail = 0;   // sanitised detail / 100: 0...1
    float masking = 0;  // sanitised masking / 100: 0...1
    // Taps on each side of the centre that carry weight, 1...kSharpenMaxSupport.
    std::int32_t support = 1;
};

// Buffer 1 of the two separable passes: for tap offset k (−9...9) the pair at k + 9 holds the
// fine Gaussian's weight (x) and the coarse one's (y). Each column sums to 1; offsets beyond the
// support weigh 0 and are never read. 152 bytes.
struct SharpenWeights {
    msl::float2 taps[kSharpenTapCount] = {};
};

static_assert(sizeof(SharpenUniforms) == 16);
static_assert(offsetof(SharpenUniforms, support) == 12);
static_assert(sizeof(SharpenWeights) == 152);

}  // namespace quillmere
