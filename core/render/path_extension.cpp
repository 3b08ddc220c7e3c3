#include "core/render/path_extension.h"

#include <algorithm>

namespace quillmere {

std::string lowercasedExtension(const std::filesystem::path& url) {
    std::string extension = url.extension().string();
    if (!extension.empty()) extension.erase(0, 1);
    std::transform(extension.begin(), extension.end(), extension.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return extension;
}

}  // namespace quillmere
