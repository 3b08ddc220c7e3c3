#include "core/render/display/display_rgb8.h"

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

#include <cstdint>
#include <vector>

#include "core/compute/msl_vector.h"

namespace quillmere {
namespace {

// Written with comparisons rather than fmin/fmax, which the compiler calls out of line; NaN fails
// `value > 0` and gives 0. The limited value converts to an integer from 0.5 to 255.5, so the
// cast is always defined, and the loop over a row vectorises.
std::uint8_t displayByte(float value) {
    const float limited = value > 0.0f ? (value < 1.0f ? value : 1.0f) : 0.0f;
    return static_cast<std::uint8_t>(static_cast<int>(limited * 255.0f + 0.5f));
}

}  // namespace

Rgb8Image displayRgb8(const Texture& developed) {
    Rgb8Image image;
    image.width = developed.width();
    image.height = developed.height();
    image.rgb.resize(static_cast<std::size_t>(image.width) *
                     static_cast<std::size_t>(image.height) * 3);
    displayRgb8Rows(developed, 0, image.height, image.rgb.data());
    return image;
}

void displayRgb8Rows(const Texture& developed, int first, int rows, std::uint8_t* rgb) {
    const auto width = static_cast<std::size_t>(developed.width());
    tbb::parallel_for(tbb::blocked_range<int>(0, rows), [&](const tbb::blocked_range<int>& band) {
        std::vector<msl::float4> texels(width);
        for (int row = band.begin(); row < band.end(); ++row) {
            developed.readRow(0, developed.height() - 1 - (first + row), texels);
            std::uint8_t* out = rgb + static_cast<std::size_t>(row) * width * 3;
            for (const msl::float4& texel : texels) {
                *out++ = displayByte(texel.x);
                *out++ = displayByte(texel.y);
                *out++ = displayByte(texel.z);
            }
        }
    });
}

}  // namespace quillmere
