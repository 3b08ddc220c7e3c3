#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillmere {

// libheif sizes its buffers from what it decodes, not from the size an image item states in its
// 'ispe' property: an item stating 24 × 16 whose HEVC parameter set declares 13312 × 14848, or an
// overlay stating 24 × 16 on a 28534 × 27648 canvas, makes it allocate gigabytes before anyone can
// compare. This reads those sizes from the file's boxes, before anything is decoded.
//
// Nothing when every coded HEVC picture of the file (in its item's decoder configuration or among
// its coded data) is at most its item's stated size rounded up to whole 64-pixel coding blocks,
// and every grid and overlay canvas at most its item's stated size; otherwise one sentence naming
// the first item that states less than it makes, or saying that the boxes cannot be read. Items
// coded otherwise than in HEVC are not looked into.
std::optional<std::string> oversizedHeifItem(std::string_view file);

}  // namespace quillmere
