#include "core/edit/denoise_method.h"

#include <cstddef>
#include <string>

namespace quillmere {
namespace {

struct DenoiseMethodText {
    std::string_view rawValue;
    std::string_view title;
};

// Indexed by the case, in declaration order.
constexpr std::array<DenoiseMethodText, allDenoiseMethods.size()> kTexts{{
    {"natural", "Natural"},
    {"matchFilter", "Detail"},
}};

const DenoiseMethodText& textsOf(DenoiseMethod method) {
    return kTexts[static_cast<std::size_t>(method)];
}

}  // namespace

std::string_view rawValue(DenoiseMethod method) { return textsOf(method).rawValue; }

std::optional<DenoiseMethod> denoiseMethodFromRawValue(std::string_view rawValueText) {
    for (DenoiseMethod method : allDenoiseMethods) {
        if (rawValue(method) == rawValueText) return method;
    }
    return std::nullopt;
}

std::string_view title(DenoiseMethod method) { return textsOf(method).title; }

json::Json encodeDenoiseMethod(DenoiseMethod method) { return json::Json(rawValue(method)); }

DenoiseMethod decodeDenoiseMethod(const json::Json& value, const CodingPath& path) {
    const std::string text = json::decodeString(value, path);
    if (auto method = denoiseMethodFromRawValue(text)) return *method;
    throw DecodingError::dataCorrupted(
        path, "Cannot initialize DenoiseMethod from invalid String value " + text);
}

}  // namespace quillmere
