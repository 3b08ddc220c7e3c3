#pragma once

#include <new>
#include <string>

#include "core/common/error.h"

namespace quillmere {

// A photo file or an image in memory could not be decoded, encoded or given its metadata.
// `what()` is one sentence for the case, followed by the underlying library's words where it
// gave any.
class ImageIOError : public Error {
  public:
    enum class Code {
        unreadableFile,      // the file cannot be opened or read
        unsupportedFormat,   // neither a JPEG nor a HEIF image
        corruptImage,        // the decoder rejected the data (damaged or truncated file)
        imageTooLarge,       // the pixel count is beyond what the program will allocate
        outOfMemory,         // an allocation failed while decoding or encoding
        encodingFailed,      // the encoder could not produce an image
        invalidMetadata,     // a metadata value or key that cannot be written
        xmpPacketTooLarge,   // the XMP packet does not fit in one JPEG segment
        metadataWriteFailed  // the metadata could not be written into the image
    };

    explicit ImageIOError(Code code, const std::string& detail = {});

    Code code() const { return code_; }

  private:
    Code code_;
};

// What `decode` returns; an allocation it could not make (std::bad_alloc, from a library or our
// own buffers) becomes outOfMemory, which tells the photo's memory, not its data, at fault.
template <class Decode>
auto refusingWithoutMemory(const Decode& decode) {
    try {
        return decode();
    } catch (const std::bad_alloc&) {
        throw ImageIOError(ImageIOError::Code::outOfMemory);
    }
}

}  // namespace quillmere
