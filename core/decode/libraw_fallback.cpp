#include "core/decode/libraw_fallback.h"

#include "core/decode/native_raw_error.h"
#include "core/decode/reader_answer.h"
#include "core/reading/raw_answers.h"

namespace quillmere::LibRawFallback {

LibRawFallbackImage decode(const std::filesystem::path& url, PhotoReader& reader) {
    std::shared_ptr<const OpenedFile> file;
    ReaderAnswer answer;
    try {
        file = OpenedFile::open(url);
        answer = reader.ask(*file, {reader_protocol::JobKind::rawDevelopment, {}, {}});
    } catch (const ReadingError& error) {
        // The file's own refusals, in its reader's words; the rest is the reading's.
        if (error.kind() != ReadingError::Kind::refused &&
            error.kind() != ReadingError::Kind::notFound &&
            error.kind() != ReadingError::Kind::notRegularFile &&
            error.kind() != ReadingError::Kind::unreadable) {
            throw;
        }
        throw NativeRAWError::decoding(error.what());
    }
    const raw_answers::DevelopmentAnswer developed =
        decodedAnswer(url, [&] { return raw_answers::decodeDevelopmentAnswer(answer.body); });
    // Both the development and the texture keep the image's bottom row first.
    std::shared_ptr<Texture> texture =
        textureOfAnswer(answer, url, PixelFormat::rgba16Float, developed.width, developed.height);
    texture->setLabel("LibRaw fallback linear RGB");
    return {std::move(texture), developed.iso, developed.supportsDetail, developed.capture};
}

}  // namespace quillmere::LibRawFallback
