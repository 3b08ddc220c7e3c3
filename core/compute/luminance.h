#pragma once

#include "core/compute/msl_vector.h"

namespace quillmere {

// Luminance weights shared by the kernels: Rec. 709 for scene-linear light, Rec. 601 for
// display-encoded values. Each set sums to 1.
inline constexpr msl::float3 kRec709Luma{0.2126f, 0.7152f, 0.0722f};
inline constexpr msl::float3 kRec601Luma{0.299f, 0.587f, 0.114f};

}  // namespace quillmere
