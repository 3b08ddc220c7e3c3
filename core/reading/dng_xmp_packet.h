#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/reading/opened_file.h"

namespace quillmere {

class PhotoReader;

// The XMP packet a DNG export of `source` writes, built by the photo reader (the DNG XMP job) from
// `packet`, the packet the DNG's first directory carries, with the edit record's JSON `record` and
// the creator when `includeSoftware` (dngExportXmpPacket): the program never parses a file's XMP.
// Empty when nothing is left to write. Nothing when the reader could not build it within the
// budget the packet's size sets, or at all: the export then builds its packet from nothing.
std::optional<std::string> readerBuiltDngXmpPacket(PhotoReader& reader, const OpenedFile& source,
                                                   std::string_view packet,
                                                   const std::optional<std::string>& record,
                                                   bool includeSoftware);

}  // namespace quillmere
