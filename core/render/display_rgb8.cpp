#include "core/render/display_rgb8.h"

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

#include <cstdint>
#include <vector>

#include "core/compute/msl_math.h"

namespace quillmere {
namespace {

std::uint8_t displayByte(float value) {
    return msl::saturatingConvert<std::uint8_t>(msl::saturate(value) * 255.0f + 0.5f);
}

}  // namespace

Rgb8Image displayRgb8(const Texture& developed) {
    Rgb8Image image;
    image.width = developed.width();
    image.height = developed.height();
    const auto width = static_cast<std::size_t>(image.width);
    image.rgb.resize(width * static_cast<std::size_t>(image.height) * 3);
    tbb::parallel_for(
        tbb::blocked_range<int>(0, image.height), [&](const tbb::blocked_range<int>& rows) {
            std::vector<msl::float4> texels(width);
            for (int row = rows.begin(); row < rows.end(); ++row) {
                developed.readRow(0, image.height - 1 - row, texels);
                std::uint8_t* out = image.rgb.data() + static_cast<std::size_t>(row) * width * 3;
                for (const msl::float4& texel : texels) {
                    *out++ = displayByte(texel.x);
                    *out++ = displayByte(texel.y);
                    *out++ = displayByte(texel.z);
                }
            }
        });
    return image;
}

}  // namespace quillmere
