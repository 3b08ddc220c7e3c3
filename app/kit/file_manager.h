#pragma once

#include <filesystem>
#include <vector>

namespace quillmere {

// The desktop's file manager.
namespace FileManager {

// Shows `items` selected in a file manager window through the desktop's FileManager1 service
// (D-Bus), without waiting for it; where no file manager offers it, opens the folder holding the
// first item instead. Nothing for an empty list.
void reveal(const std::vector<std::filesystem::path>& items);

}  // namespace FileManager

}  // namespace quillmere
