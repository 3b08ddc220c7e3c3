#include "core/decode/decoded_texture.h"

#include <cstddef>
#include <utility>

namespace quillmere {

std::shared_ptr<Texture> makeDecodedTexture(const Device& device, PixelFormat format, int width,
                                            int height) {
    return device.makeTexture({.pixelFormat = format,
                               .width = width,
                               .height = height,
                               .usage = TextureUsage::shaderRead | TextureUsage::shaderWrite,
                               .storageMode = StorageMode::shared});
}

std::shared_ptr<Texture> makeDecodedTexture(const Device& device, PixelFormat format, int width,
                                            int height, const void* bytes, std::string label) {
    std::shared_ptr<Texture> texture = makeDecodedTexture(device, format, width, height);
    if (!texture) return nullptr;
    texture->replaceRegion({0, 0, width, height}, bytes,
                           static_cast<std::size_t>(width) * bytesPerPixel(format));
    texture->setLabel(std::move(label));
    return texture;
}

}  // namespace quillmere
