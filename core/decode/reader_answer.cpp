#include "core/decode/reader_answer.h"

#include <optional>

#include "core/decode/sealed_texture.h"

namespace quillmere {

std::shared_ptr<Texture> textureOfAnswer(ReaderAnswer& answer, const std::filesystem::path& file,
                                         PixelFormat format, int width, int height) {
    std::uint64_t bytes = 0;
    const bool sized =
        width > 0 && height > 0 &&
        !__builtin_mul_overflow(static_cast<std::uint64_t>(width),
                                static_cast<std::uint64_t>(height), &bytes) &&
        !__builtin_mul_overflow(bytes, std::uint64_t{bytesPerPixel(format)}, &bytes);
    std::optional<SealedFile> sealed =
        sized && answer.files.size() == 1
            ? SealedFile::accept(answer.files.front().release(), bytes)
            : std::nullopt;
    std::shared_ptr<Texture> texture =
        sealed ? makeTextureOver(std::move(*sealed),
                                 {format, width, height,
                                  TextureUsage::shaderRead | TextureUsage::shaderWrite,
                                  StorageMode::shared})
               : nullptr;
    if (!texture) throw ReadingError(ReadingError::Kind::notRead, file);
    return texture;
}

}  // namespace quillmere
