#pragma once

#include <string_view>

namespace quillmere::metadata {

// Checks a Canon CRW file's CIFF heaps as Exiv2 0.27 reads them. Directories may name one
// heap many times over, which Exiv2 reads again each time: throws MetadataRefusal for more
// components than limits::ciffComponents, heaps nested deeper than limits::tiffNesting, values
// claiming more bytes than the file holds, or anything Exiv2 would refuse to read.
void checkCiffStructure(std::string_view file);

}  // namespace quillmere::metadata
