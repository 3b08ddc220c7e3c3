#include "core/decode/linear_image_texture.h"

#include <tbb/parallel_for.h>

#include <cstddef>
#include <span>

#include "core/compute/half_float.h"
#include "core/decode/decoded_texture.h"

namespace quillmere {

std::shared_ptr<Texture> makeHalfFloatTexture(const Device& device, const LinearImage& image) {
    const std::size_t rowLength = static_cast<std::size_t>(image.width) * 4;
    if (image.width < 1 || image.height < 1 ||
        image.rgba.size() != rowLength * static_cast<std::size_t>(image.height)) {
        return nullptr;
    }
    std::shared_ptr<Texture> texture =
        makeDecodedTexture(device, PixelFormat::rgba16Float, image.width, image.height);
    if (!texture) return nullptr;
    tbb::parallel_for(0, image.height, [&](int y) {
        const std::span<const float> row(
            image.rgba.data() + rowLength * static_cast<std::size_t>(y), rowLength);
        convertFloatToHalf(row, texture->halfRow(y));
    });
    return texture;
}

}  // namespace quillmere
