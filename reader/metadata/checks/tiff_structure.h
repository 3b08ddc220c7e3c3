#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillmere::metadata {

// The header a TIFF structure starts with, as Exiv2 reads each kind: a plain TIFF (EXIF blocks,
// TIFF, DNG and the RAW formats built on it), Canon CR2 (with "CR" at byte 8) and Olympus ORF
// (whose magic number is "OR" or "SR").
enum class TiffHeaderKind { tiff, cr2, orf };

// The directory Exiv2 starts from: IFD0, or Fujifilm's own directory, which it takes for the
// second TIFF structure of a RAF file once the first said the make is "FUJIFILM".
enum class TiffRoot { ifd0, fuji };

// Checks a TIFF structure the way Exiv2 0.27 reads it: every directory it follows (IFD0 to IFD3,
// sub-IFDs, the EXIF, GPS and interoperability directories, maker notes as Exiv2 reads each
// make's, and the sub-directories of those), every entry, every thumbnail it copies, and the XMP
// and IPTC it decodes from IFD0. Throws MetadataRefusal when the directories, entries and values
// named, each counted every time it is named, claim more bytes than `block` holds, when the
// entries pass limits::tiffComponents or the lookups limits::tiffLookupVisits, when directories
// nest deeper than limits::tiffNesting, or when Exiv2 would read outside the block. Returns the
// make Exiv2 decodes from IFD0, if any.
std::optional<std::string> checkTiffStructure(std::string_view block, TiffHeaderKind kind,
                                              TiffRoot root = TiffRoot::ifd0);

}  // namespace quillmere::metadata
