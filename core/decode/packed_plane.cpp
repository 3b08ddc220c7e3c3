#include "core/decode/packed_plane.h"

#include <algorithm>
#include <stdexcept>

namespace quillmere {

PackedPlane::PackedPlane(PackedPixelFormat pixelFormat, int width, int height)
    : pixelFormat_(pixelFormat), width_(width), height_(height) {
    if (width < 0 || height < 0) {
        throw std::invalid_argument("a plane cannot have a negative size");
    }
    const std::size_t values =
        std::size_t{4} * static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (pixelFormat == PackedPixelFormat::rgba32Float) {
        floats_.resize(values);
    } else {
        halves_.resize(values);
    }
}

std::size_t PackedPlane::texelIndex(int x, int y) const {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
           static_cast<std::size_t>(x);
}

void PackedPlane::getRegion(int x, int y, int regionWidth, int regionHeight, float* into) const {
    const std::size_t rowValues = std::size_t{4} * static_cast<std::size_t>(regionWidth);
    for (int row = 0; row < regionHeight; ++row) {
        const std::size_t first = 4 * texelIndex(x, y + row);
        float* destination = into + static_cast<std::size_t>(row) * rowValues;
        if (pixelFormat_ == PackedPixelFormat::rgba32Float) {
            std::copy_n(floats_.begin() + static_cast<std::ptrdiff_t>(first), rowValues,
                        destination);
        } else {
            std::transform(halves_.begin() + static_cast<std::ptrdiff_t>(first),
                           halves_.begin() + static_cast<std::ptrdiff_t>(first + rowValues),
                           destination, [](_Float16 half) { return static_cast<float>(half); });
        }
    }
}

void PackedPlane::replaceRows(int y, int rowCount, const float* from) {
    const std::size_t first = 4 * texelIndex(0, y);
    const std::size_t count =
        4 * static_cast<std::size_t>(width_) * static_cast<std::size_t>(rowCount);
    if (pixelFormat_ == PackedPixelFormat::rgba32Float) {
        std::copy_n(from, count, floats_.begin() + static_cast<std::ptrdiff_t>(first));
    } else {
        std::transform(from, from + count, halves_.begin() + static_cast<std::ptrdiff_t>(first),
                       [](float value) { return static_cast<_Float16>(value); });
    }
}

}  // namespace quillmere
