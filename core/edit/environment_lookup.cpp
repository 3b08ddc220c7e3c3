#include "core/edit/environment_lookup.h"

#include <cstdlib>

namespace quillmere {

std::optional<std::string> processEnvironment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

}  // namespace quillmere
