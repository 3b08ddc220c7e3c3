#pragma once

#include <filesystem>
#include <string>

namespace quillmere {

// The file name's extension after its last dot, without the dot, fully lower-cased; empty when
// the name has none (a leading dot does not start one).
std::string lowercasedExtension(const std::filesystem::path& url);

}  // namespace quillmere
