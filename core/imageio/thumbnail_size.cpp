#include "core/imageio/thumbnail_size.h"

#include <algorithm>
#include <cstdint>

namespace quillmere::Thumbnail {

Size fittedSize(int width, int height, int longestSide) {
    const std::int64_t longSide = std::max(width, height);
    if (longSide <= longestSide) return {width, height};
    const auto scaled = [&](std::int64_t side) {
        return static_cast<int>(
            std::max<std::int64_t>(1, (side * longestSide + longSide / 2) / longSide));
    };
    return {scaled(width), scaled(height)};
}

}  // namespace quillmere::Thumbnail
