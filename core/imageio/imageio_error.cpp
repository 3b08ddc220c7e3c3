#include "core/imageio/imageio_error.h"

namespace quillmere {
namespace {

const char* sentenceFor(ImageIOError::Code code) {
    switch (code) {
        case ImageIOError::Code::unreadableFile:
            return "The photo file could not be read.";
        case ImageIOError::Code::unsupportedFormat:
            return "The file is not a JPEG or HEIF image.";
        case ImageIOError::Code::corruptImage:
            return "The image data is damaged or incomplete.";
        case ImageIOError::Code::imageTooLarge:
            return "The image is too large to open.";
        case ImageIOError::Code::outOfMemory:
            return "There is not enough memory to process the image.";
        case ImageIOError::Code::encodingFailed:
            return "The image could not be encoded.";
        case ImageIOError::Code::invalidMetadata:
            return "The metadata value could not be set.";
        case ImageIOError::Code::xmpPacketTooLarge:
            return "The XMP metadata is larger than a JPEG file can hold.";
        case ImageIOError::Code::metadataWriteFailed:
            return "The metadata could not be written into the image.";
    }
    return "The image could not be processed.";
}

std::string messageFor(ImageIOError::Code code, const std::string& detail) {
    std::string message = sentenceFor(code);
    if (!detail.empty()) message += " " + detail;
    return message;
}

}  // namespace

ImageIOError::ImageIOError(Code code, const std::string& detail)
    : Error(messageFor(code, detail)), code_(code) {}

}  // namespace quillmere
