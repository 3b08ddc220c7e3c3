#pragma once

#include <filesystem>
#include <string>

namespace quillmere {

// The extension of the file name after its last dot, without the dot, with ASCII letters in
// lower case. Callers compare it with ASCII words whose letters no other character lower-cases
// to, so this decides exactly as full Unicode lower-casing would.
std::string lowercasedExtension(const std::filesystem::path& url);

}  // namespace quillmere
