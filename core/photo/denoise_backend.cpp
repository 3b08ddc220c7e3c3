#include "core/photo/denoise_backend.h"

#include <string>

namespace quillmere {

std::string_view rawValue(DenoiseBackend backend) {
    return backend == DenoiseBackend::neuralRAW9 ? "neuralRAW9" : "standard";
}

std::optional<DenoiseBackend> denoiseBackendFromRawValue(std::string_view text) {
    for (DenoiseBackend backend : {DenoiseBackend::neuralRAW9, DenoiseBackend::standard}) {
        if (rawValue(backend) == text) return backend;
    }
    return std::nullopt;
}

json::Json encode(DenoiseBackend backend) { return std::string(rawValue(backend)); }

DenoiseBackend decodeDenoiseBackend(const json::Json& value, const CodingPath& path) {
    const std::string text = json::decodeString(value, path);
    const auto backend = denoiseBackendFromRawValue(text);
    if (!backend) {
        throw DecodingError::dataCorrupted(
            path, "Cannot initialize DenoiseBackend from invalid String value " + text);
    }
    return *backend;
}

}  // namespace quillmere
