#include "core/decode/reader_answer.h"

#include <optional>

#include "core/decode/sealed_texture.h"

namespace quillmere {

std::shared_ptr<Texture> textureOfAnswer(ReaderAnswer& answer, const std::filesystem::path& file,
                                         PixelFormat format, int width, int height) {
    // Counted as the texture counts its texels; makeTextureOver refuses a file of any other size,
    // and a size whose count overflows.
    const std::uint64_t bytes = static_cast<std::uint64_t>(width) *
                                static_cast<std::uint64_t>(height) * bytesPerPixel(format);
    std::optional<SealedFile> sealed =
        answer.files.size() == 1 ? SealedFile::accept(answer.files.front().release(), bytes)
                                 : std::nullopt;
    std::shared_ptr<Texture> texture =
        sealed ? makeTextureOver(
                     std::move(*sealed),
                     {format, width, height, TextureUsage::shaderRead | TextureUsage::shaderWrite,
                      StorageMode::shared})
               : nullptr;
    if (!texture) throw ReadingError(ReadingError::Kind::notRead, file);
    return texture;
}

}  // namespace quillmere
