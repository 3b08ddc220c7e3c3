#pragma once

#include <optional>
#include <string>

#include "core/imageio/xmp_document.h"

namespace quillmere {

// The XMP packet a DNG export gives the file: `xmp` (what the DNG carried, as the photo reader
// parsed it, or nothing) without earlier edit records (current or legacy) and creator tools, plus
// `record` (the edit record's JSON) as "quillmere:EditRecord" when there is one and "Quillmere" as
// "xmp:CreatorTool" when `includeSoftware`. Empty when nothing is left to write. Throws
// ImageIOError (invalid metadata) when the record cannot be set or the packet cannot be
// serialised, which would lose the record; a creator tool that cannot be set is left out.
std::string dngExportXmpPacket(XmpDocument xmp, const std::optional<std::string>& record,
                               bool includeSoftware);

}  // namespace quillmere
