#pragma once

#include <filesystem>
#include <string_view>

#include "core/reading/metadata_answer.h"

namespace quillmere {

// Everything the metadata job answers for the photo at `file` (the reader's own opening of the
// photo), whose bytes `contents` maps, read as Exiv2 reads that type of image (exiv2_image.h),
// once:
// - the image properties (imagePropertiesOf);
// - the capture metadata an exported JPEG takes over: the Exif photo tags without the maker note,
//   GPS and IPTC; from the image directory only Make, Model, Software, DateTime, Artist,
//   Copyright, ImageDescription, HostComputer and the resolution; orientation 1 (the export is
//   upright). Never a thumbnail, strip or tile offsets, other sub-directories or the DNG tags of
//   a RAW file, which would describe data the export does not hold. No XMP;
// - the edit record's text: "quillmere:EditRecord", else the legacy "starlingmoor:EditRecord", of
//   the file's XMP, with a JPEG's extended XMP merged into it when it is there whole. A packet
//   that does not parse holds no record.
// A file Exiv2 cannot read has no metadata. Throws std::bad_alloc when memory runs out.
PhotoFileMetadata readFileMetadata(const std::filesystem::path& file, std::string_view contents);

}  // namespace quillmere
