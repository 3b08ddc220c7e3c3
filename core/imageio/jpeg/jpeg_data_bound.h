#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include <jpeglib.h>

// libjpeg sizes its buffers from a file's header alone, so a file of a few kilobytes can make it
// allocate gigabytes for a picture it does not hold. What the file's coded data can hold bounds
// what it may promise.
namespace quillmere::jpeg_data_bound {

// The bytes of entropy-coded data in `jpeg`: every scan's coded data up to the end of the image,
// without the marker segments around them (EXIF, ICC profile, comments, embedded previews), which
// hold none of the image's pixels.
std::uint64_t entropyCodedByteCount(std::string_view jpeg);

// A sentence saying that the header read into `info` promises more 8 × 8 blocks than the
// entropy-coded data of `jpeg` (the file `info` reads) can code; nothing when it does not.
std::optional<std::string> implausibleSize(const jpeg_decompress_struct& info,
                                           std::string_view jpeg);

}  // namespace quillmere::jpeg_data_bound
