#include "core/decode/raw_thumbnail.h"

#include <algorithm>

#include "core/decode/reader_answer.h"
#include "core/reading/raw_answers.h"

namespace quillmere {

std::shared_ptr<Texture> linearRAWThumbnail(const std::filesystem::path& url, int longestSide,
                                            PhotoReader* reader) {
    try {
        if (longestSide < 1) return nullptr;
        const std::shared_ptr<const OpenedFile> file = OpenedFile::open(url);
        ReaderAnswer answer = (reader ? *reader : PhotoReader::forProcess())
                                  .ask(*file, {reader_protocol::JobKind::rawThumbnail,
                                               raw_answers::encodeThumbnailParams(longestSide),
                                               {}});
        const raw_answers::ThumbnailAnswer thumbnail =
            decodedAnswer(url, [&] { return raw_answers::decodeThumbnailAnswer(answer.body); });
        // A thumbnail is never larger than asked.
        if (std::max(thumbnail.width, thumbnail.height) > longestSide) return nullptr;
        std::shared_ptr<Texture> texture = textureOfAnswer(answer, url, PixelFormat::rgba16Float,
                                                           thumbnail.width, thumbnail.height);
        texture->setLabel("RAW thumbnail");
        return texture;
    } catch (const std::exception&) {
        // No thumbnail, whatever the reason: the filmstrip shows the photo without one.
        return nullptr;
    }
}

}  // namespace quillmere
