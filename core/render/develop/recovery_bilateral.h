#pragma once

#include "core/render/develop/recovery_functions.h"

namespace quillmere {

inline constexpr int kBilateralRadius = 12;

// The edge-aware base of rows begin ..< end of `guide`, written to the same rows of `base` (a
// packed image of the guide's size): every texel is the guide after a 25 × 25 bilateral filter
// with a spatial weight e^(−(x² + y²) / 128) (a sigma of 8 guide texels, about 3 % of the
// image's long side at any resolution) and the range weight recoveryRangeWeight, taps outside
// the guide repeating its edge texels. Each texel sums its 625 taps row by row, left to right,
// so the result does not depend on how rows are split between threads.
void recoveryBilateralRows(const GuideView& guide, int begin, int end, float* base);

}  // namespace quillmere
