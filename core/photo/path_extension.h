#pragma once

#include <filesystem>
#include <string>

#include "core/edit/unicode_text.h"

namespace quillmere {

// The file name's extension after its last dot, without the dot, fully lower-cased; empty when
// the name has none (a leading dot does not start one).
inline std::string lowercasedExtension(const std::filesystem::path& url) {
    const std::string extension = url.filename().extension().string();
    return extension.empty() ? extension : lowercased(extension.substr(1));
}

}  // namespace quillmere
