#pragma once

#include <filesystem>
#include <memory>

#include "core/compute/texture.h"
#include "core/reading/reader_process.h"
#include "core/reading/reading_error.h"
#include "core/reading/wire.h"

namespace quillmere {

// What `decode` (a typed client's decoder, core/reading/raw_answers.h) makes of a reader's answer
// about `file`; an answer that does not decode is no answer: ReadingError (notRead).
template <typename Decode>
auto decodedAnswer(const std::filesystem::path& file, const Decode& decode) -> decltype(decode()) {
    try {
        return decode();
    } catch (const WireError&) {
        throw ReadingError(ReadingError::Kind::notRead, file);
    }
}

// A texture over the one sealed file of `answer` (makeTextureOver, no copy): `width` × `height`
// texels of `format`, shared, shader read and write, the sizes the answer's body gave. Throws
// ReadingError (notRead) of `file` unless the answer came with exactly one file, sealed and of
// that size.
std::shared_ptr<Texture> textureOfAnswer(ReaderAnswer& answer, const std::filesystem::path& file,
                                         PixelFormat format, int width, int height);

}  // namespace quillmere
