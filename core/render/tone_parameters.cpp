#include "core/render/tone_parameters.h"

#include <algorithm>
#include <cmath>

namespace quillmere {
namespace {

// The guide's long side: small enough that the 25 × 25 bilateral filter and the white-point
// reduction cost nothing at any photo size, and the same normalised scale for preview and export.
constexpr double kGuideLongSide = 256;

}  // namespace

GridSize recoveryGuideSize(int width, int height) {
    const double longSide = std::max({width, height, 1});
    const double scale = std::min(kGuideLongSide / longSide, 1.0);
    auto side = [&](int length) {
        return std::max(1, static_cast<int>(std::round(std::max(length, 0) * scale)));
    };
    return {side(width), side(height)};
}

}  // namespace quillmere
