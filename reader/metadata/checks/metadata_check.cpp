#include "reader/metadata/checks/metadata_check.h"

#include <cstdint>
#include <optional>
#include <string>

#include "reader/metadata/checks/byte_order.h"
#include "reader/metadata/checks/ciff_structure.h"
#include "reader/metadata/checks/jpeg_metadata_segments.h"
#include "reader/metadata/checks/metadata_refusal.h"
#include "reader/metadata/checks/tiff_structure.h"

namespace quillmere::metadata {
namespace {

[[noreturn]] void refuse(const char* container, const std::string& why) {
    throw MetadataRefusal(std::string("The ") + container + " metadata is refused: " + why + ".");
}

// A Fujifilm RAF: a header naming an embedded JPEG, whose bytes from its EXIF's TIFF header on
// Exiv2 reads as one TIFF structure, and a second TIFF structure it reads when one is there.
void checkRaf(std::string_view file) {
    if (file.size() < 108) refuse("RAF", "its header is cut short");
    const std::uint64_t jpegOffset = read32(file, 84, ByteOrder::big);
    const std::uint64_t jpegLength = read32(file, 88, ByteOrder::big);
    if (jpegOffset + jpegLength > file.size() || jpegLength < 12) {
        refuse("RAF", "its JPEG lies outside it");
    }
    const std::optional<std::string> make =
        checkTiffStructure(file.substr(jpegOffset + 12, jpegLength - 12), TiffHeaderKind::tiff);

    const std::uint64_t tiffOffset = read32(file, 100, ByteOrder::big);
    const std::uint64_t tiffLength = read32(file, 104, ByteOrder::big);
    if (tiffOffset + tiffLength > file.size() || tiffOffset + 4 > file.size()) {
        refuse("RAF", "its TIFF lies outside it");
    }
    const std::string_view tiff = file.substr(tiffOffset, tiffLength);
    const std::string_view magic = file.substr(tiffOffset, 4);
    if (magic == std::string_view("II*\0", 4) || magic == std::string_view("MM\0*", 4)) {
        checkTiffStructure(tiff, TiffHeaderKind::tiff,
                           make == "FUJIFILM" ? TiffRoot::fuji : TiffRoot::ifd0);
    }
}

// A Minolta MRW: blocks, up to the one ("\0TTW") that holds the TIFF structure.
void checkMrw(std::string_view file) {
    if (file.size() < 16) refuse("MRW", "its header is cut short");
    const std::uint64_t end = read32(file, 4, ByteOrder::big);
    std::uint64_t at = 8;
    if (at + 8 > end) refuse("MRW", "its blocks lie outside it");
    while (file.substr(at + 1, 3) != "TTW") {
        const std::uint64_t size = read32(file, at + 4, ByteOrder::big);
        at += 8;
        if (size > end - at || at + size + 8 > file.size())
            refuse("MRW", "a block lies outside it");
        at += size;
        if (8 > end - at) refuse("MRW", "its blocks lie outside it");
    }
    const std::uint64_t size = read32(file, at + 4, ByteOrder::big);
    if (size > file.size() - (at + 8)) refuse("MRW", "its TIFF lies outside it");
    checkTiffStructure(file.substr(at + 8, size), TiffHeaderKind::tiff);
}

}  // namespace

void checkMetadata(MetadataContainer container, std::string_view file) {
    switch (container) {
        case MetadataContainer::jpeg:
            checkJpegMetadata(file);
            return;
        case MetadataContainer::tiff:
            checkTiffStructure(file, TiffHeaderKind::tiff);
            return;
        case MetadataContainer::cr2:
            checkTiffStructure(file, TiffHeaderKind::cr2);
            return;
        case MetadataContainer::orf:
            checkTiffStructure(file, TiffHeaderKind::orf);
            return;
        case MetadataContainer::raf:
            checkRaf(file);
            return;
        case MetadataContainer::mrw:
            checkMrw(file);
            return;
        case MetadataContainer::crw:
            checkCiffStructure(file);
            return;
    }
}

void checkExifBlock(std::string_view exif) { checkTiffStructure(exif, TiffHeaderKind::tiff); }

}  // namespace quillmere::metadata
