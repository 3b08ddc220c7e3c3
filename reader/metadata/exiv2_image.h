#pragma once

// Opening files and buffers with Exiv2, for the metadata readers of this folder. The caller holds
// an Exiv2Lock; every failure is an exception derived from std::exception.

#include <filesystem>
#include <string_view>

#include <exiv2/exiv2.hpp>

namespace quillmere::exiv2_image {

// The image in `file` with its metadata read.
Exiv2::Image::AutoPtr read(const std::filesystem::path& file);
// The image held in `bytes` (which must outlive it) with its metadata read.
Exiv2::Image::AutoPtr readData(std::string_view data);

}  // namespace quillmere::exiv2_image
