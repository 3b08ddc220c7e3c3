#include "core/render/path_extension.h"

#include "core/edit/unicode_text.h"

namespace quillmere {

std::string lowercasedExtension(const std::filesystem::path& url) {
    const std::string extension = url.filename().extension().string();
    return extension.empty() ? extension : lowercased(extension.substr(1));
}

}  // namespace quillmere
