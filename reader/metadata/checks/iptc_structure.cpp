#include "reader/metadata/checks/iptc_structure.h"

#include <array>
#include <cstdint>

#include "reader/metadata/checks/byte_order.h"
#include "reader/metadata/checks/metadata_limits.h"
#include "reader/metadata/checks/metadata_refusal.h"

namespace quillmere::metadata {
namespace {

constexpr unsigned char kDatasetMarker = 0x1c;
constexpr std::uint16_t kIptcResource = 0x0404;

bool isResourceSignature(std::string_view bytes) {
    constexpr std::array<std::string_view, 4> signatures{"8BIM", "AgHg", "DCSR", "PHUT"};
    for (const std::string_view signature : signatures) {
        if (bytes.starts_with(signature)) return true;
    }
    return false;
}

}  // namespace

void checkIptcBlock(std::string_view block) {
    std::uint64_t datasets = 0;
    std::size_t at = 0;
    while (block.size() >= at + 6) {
        // Exiv2 steps over bytes that are not a dataset's marker.
        if (static_cast<unsigned char>(block[at++]) != kDatasetMarker) continue;
        at += 2;  // record and dataset numbers
        std::uint64_t length = 0;
        if (static_cast<unsigned char>(block[at]) & 0x80) {
            const std::uint16_t lengthSize = read16(block, at, ByteOrder::big) & 0x7fff;
            if (lengthSize > 4) return;  // Exiv2 stops reading here
            at += 2;
            if (lengthSize > block.size() - at) return;
            for (std::uint16_t index = 0; index < lengthSize; ++index) {
                length = (length << 8) | static_cast<unsigned char>(block[at++]);
            }
        } else {
            length = read16(block, at, ByteOrder::big);
            at += 2;
        }
        if (length > block.size() - at) {
            throw MetadataRefusal("The IPTC block is refused: a dataset runs past its end.");
        }
        if (++datasets > limits::iptcDatasets) {
            throw MetadataRefusal("The IPTC block is refused: it has too many datasets.");
        }
        at += length;
    }
}

PhotoshopIptc photoshopIptc(std::string_view resources) {
    using Result = PhotoshopIptc::Result;
    std::size_t at = 0;
    while (resources.size() >= 12 && at <= resources.size() - 12 &&
           isResourceSignature(resources.substr(at))) {
        const std::uint16_t type = read16(resources, at + 4, ByteOrder::big);
        at += 6;
        // A Pascal name padded to an even length, its size counted in a byte as Exiv2 counts it.
        auto nameSize = static_cast<std::uint8_t>(static_cast<unsigned char>(resources[at]) + 1);
        nameSize = static_cast<std::uint8_t>(nameSize + (nameSize & 1));
        at += nameSize;
        if (at + 4 > resources.size()) return {Result::damaged, {}, 0};
        const std::uint32_t size = read32(resources, at, ByteOrder::big);
        at += 4;
        if (size > resources.size() - at) return {Result::damaged, {}, 0};
        if (type == kIptcResource) {
            return {Result::found, resources.substr(at, size), at + size + (size & 1)};
        }
        at += size + (size & 1);
    }
    return {};
}

void checkPhotoshopIptc(std::string_view resources) {
    const PhotoshopIptc search = photoshopIptc(resources);
    if (search.result == PhotoshopIptc::Result::found) checkIptcBlock(search.iptc);
}

}  // namespace quillmere::metadata
