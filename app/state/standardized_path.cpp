#include "app/state/standardized_path.h"

#include <system_error>

namespace quillmere {

std::filesystem::path standardizedPath(const std::filesystem::path& path) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    // Without a current folder a relative path can only stay as it is.
    if (error) absolute = path;
    std::filesystem::path normal = absolute.lexically_normal();
    if (!normal.has_filename() && normal.has_relative_path()) normal = normal.parent_path();
    return normal;
}

}  // namespace quillmere
