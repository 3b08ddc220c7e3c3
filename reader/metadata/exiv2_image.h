#pragma once

// Opening a photo file with Exiv2, for the metadata readers of this folder. The caller holds an
// Exiv2Lock; every failure is an exception derived from std::exception.

#include <exiv2/exiv2.hpp>
#include <filesystem>
#include <string_view>

namespace quillmere::exiv2_image {

// The image in `file`, whose bytes `contents` maps, with its metadata read as Exiv2 reads that type
// of image (JPEG, TIFF and the RAW files built on it, CRW, RAF, MRW, ORF, RW2, CR2, ISO BMFF files
// such as HEIF and CR3, ...). Exiv2 reads the file itself, as it reads any file: it copies what it
// reads into its own memory, and maps only a TIFF structure. It finds no EXIF in the HEIF files
// libheif writes, so the EXIF of a HEIF file in which it finds none, or whose boxes it gives up on,
// is read through the program's own reading of HEIF files, as the primary image's EXIF item (from
// `contents`).
Exiv2::Image::AutoPtr read(const std::filesystem::path& file, std::string_view contents);

}  // namespace quillmere::exiv2_image
