#pragma once

#include <cstdint>
#include <string_view>

namespace quillmere::heif {

// How many bytes zlib inflates `compressed` (a zlib stream) to, counting at most `limit`: libheif
// inflates the data of a 'mime' item whose content encoding is "deflate" when it reads the file,
// until the stream ends or fails, and holds all it inflated. Nothing is kept here.
std::uint64_t inflatedSize(std::string_view compressed, std::uint64_t limit);

}  // namespace quillmere::heif
