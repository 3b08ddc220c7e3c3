#include "core/decode/sealed_texture.h"

#include <cstdint>

namespace quillmere {

std::shared_ptr<Texture> makeTextureOver(SealedFile file, const TextureDescriptor& descriptor) {
    std::uint64_t bytes = 0;
    if (descriptor.width < 1 || descriptor.height < 1 ||
        __builtin_mul_overflow(static_cast<std::uint64_t>(descriptor.width),
                               static_cast<std::uint64_t>(descriptor.height), &bytes) ||
        __builtin_mul_overflow(bytes, std::uint64_t{bytesPerPixel(descriptor.pixelFormat)},
                               &bytes) ||
        bytes != file.size()) {
        return nullptr;
    }
    const auto [mapping, size] = file.release();
    return std::make_shared<Texture>(descriptor,
                                     DeviceMemory::adopt(mapping, static_cast<std::size_t>(size)));
}

}  // namespace quillmere
