#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "reader/metadata/checks/byte_order.h"
#include "reader/metadata/checks/exiv2_tiff_groups.h"

namespace quillmere::metadata {

// Where Exiv2 0.27 finds the directory of a maker note it reads, and how it reads the offsets in
// it. Exiv2 chooses the layout by the camera make and the note's first bytes.
struct MakernoteLayout {
    TiffGroup group = TiffGroup::notSet;
    std::uint32_t directoryOffset = 0;       // from the note's first byte
    std::optional<ByteOrder> byteOrder;      // the note's own; the image's when empty
    std::optional<std::uint32_t> baseShift;  // offsets count from the note's first byte plus this;
                                             // from the block's first byte when empty
    bool hasNext = true;                     // the directory ends with a next-directory offset
};

// The layout of the maker note in `value` (the bytes of the entry with `tag`), in a block whose
// bytes from the note's first byte on are `rest`, for the camera `make` (IFD0's Make as text);
// nothing when Exiv2 keeps the note as plain bytes.
std::optional<MakernoteLayout> makernoteLayout(std::string_view make, std::uint16_t tag,
                                               std::string_view value, std::string_view rest);

}  // namespace quillmere::metadata
