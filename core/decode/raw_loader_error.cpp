#include "core/decode/raw_loader_error.h"

namespace quillmere {

RAWLoaderError RAWLoaderError::unsupportedFile(const std::filesystem::path& url) {
    return {Code::unsupportedFile,
            "Cannot decode " + url.filename().string() + " as a supported photo."};
}

RAWLoaderError RAWLoaderError::notOpened() {
    return {Code::notOpened, "Open the photo before rendering it."};
}

RAWLoaderError RAWLoaderError::renderFailed(const std::string& message) {
    return {Code::renderFailed, message};
}

RAWLoaderError RAWLoaderError::gpuUnavailable() {
    return {Code::gpuUnavailable, "A Metal GPU is required."};
}

RAWLoaderError RAWLoaderError::fileNotFound(const std::filesystem::path& url) {
    return {Code::fileNotFound, "The file " + url.filename().string() + " was not found in " +
                                    url.parent_path().string() + "."};
}

RAWLoaderError RAWLoaderError::readingFailed(const ReadingError& error) {
    return {Code::readingFailed, error.what()};
}

RAWLoaderError RAWLoaderError::ofReading(const std::filesystem::path& url,
                                         const ReadingError& error) {
    using Kind = ReadingError::Kind;
    switch (error.kind()) {
        case Kind::notFound:
            return fileNotFound(url);
        case Kind::refused:
        case Kind::notRegularFile:
        case Kind::unreadable:
            return unsupportedFile(url);
        default:
            return readingFailed(error);
    }
}

}  // namespace quillmere
