#include "core/decode/raster_reading.h"

#include <cstring>
#include <optional>

#include "core/decode/reader_answer.h"
#include "core/reading/raster_answers.h"
#include "core/reading/sealed_file.h"

namespace quillmere {

using reader_protocol::JobKind;

std::shared_ptr<Texture> readRasterImage(PhotoReader& reader, const OpenedFile& file) {
    ReaderAnswer answer = reader.ask(file, {JobKind::rasterImage, {}, {}});
    const raster_answers::Image image =
        decodedAnswer(file.path(), [&] { return raster_answers::Image::decode(answer.body); });
    return textureOfAnswer(answer, file.path(), PixelFormat::rgba16Float,
                           static_cast<int>(image.width), static_cast<int>(image.height));
}

std::shared_ptr<Texture> readRasterImage(PhotoReader& reader, const std::filesystem::path& file) {
    return readRasterImage(reader, *OpenedFile::open(file));
}

Rgb8Image readRasterThumbnail(PhotoReader& reader, const std::filesystem::path& file,
                              int longestSide) {
    const raster_answers::ThumbnailRequest request{static_cast<std::uint32_t>(longestSide)};
    const std::shared_ptr<const OpenedFile> opened = OpenedFile::open(file);
    ReaderAnswer answer = reader.ask(*opened, {JobKind::rasterThumbnail, request.encode(), {}});
    const raster_answers::Thumbnail thumbnail = decodedAnswer(
        file, [&] { return raster_answers::Thumbnail::decode(answer.body, request.longestSide); });
    std::optional<SealedFile> pixels =
        answer.files.size() == 1
            ? SealedFile::accept(answer.files.front().release(), thumbnail.pixelBytes())
            : std::nullopt;
    if (!pixels) throw ReadingError(ReadingError::Kind::notRead, file);
    Rgb8Image picture{static_cast<int>(thumbnail.width), static_cast<int>(thumbnail.height),
                      std::vector<std::uint8_t>(pixels->size())};
    std::memcpy(picture.rgb.data(), pixels->data(), pixels->size());
    return picture;
}

}  // namespace quillmere
