#include "core/imageio/jpeg/jpeg_data_bound.h"

#include <cstring>

namespace quillmere::jpeg_data_bound {
namespace {

constexpr unsigned char kStartOfImage = 0xD8;
constexpr unsigned char kEndOfImage = 0xD9;
constexpr unsigned char kStartOfScan = 0xDA;

// Every 8 × 8 block of every component costs at least one bit: a sequential scan codes each
// block's DC difference and its end of block, a progressive DC scan at least the DC difference.
// So a byte codes at most 8 blocks; an all-grey photo at the best quality takes about one block
// per byte. Four times the format's bound leaves room for layouts no camera writes (arithmetic
// coding, sparse scans).
constexpr std::uint64_t kMaxBlocksPerByte = 4 * 8;

bool hasNoLength(unsigned char marker) {
    return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7) || marker == kStartOfImage;
}

// Within coded data 0xFF is followed by 0x00 (a stuffed byte) or a restart marker; anything else
// is the marker that ends the scan.
bool endsScan(unsigned char afterFF) { return afterFF != 0x00 && (afterFF < 0xD0 || afterFF > 0xD7); }

}  // namespace

std::uint64_t entropyCodedByteCount(std::string_view jpeg) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(jpeg.data());
    const std::size_t size = jpeg.size();
    std::uint64_t count = 0;
    std::size_t at = 0;
    while (at < size) {
        // As libjpeg does, bytes between segments are skipped up to the next marker, and fill
        // bytes (0xFF) before a marker are not part of it.
        const void* found = std::memchr(bytes + at, 0xFF, size - at);
        if (found == nullptr) break;
        at = static_cast<std::size_t>(static_cast<const unsigned char*>(found) - bytes);
        while (at < size && bytes[at] == 0xFF) ++at;
        if (at >= size) break;
        const unsigned char marker = bytes[at++];
        if (marker == kEndOfImage) break;
        if (marker == 0x00 || hasNoLength(marker)) continue;
        if (size - at < 2) break;
        const std::size_t length = std::size_t{bytes[at]} << 8 | bytes[at + 1];
        if (length < 2 || length > size - at) break;
        at += length;
        if (marker != kStartOfScan) continue;
        const std::size_t scanStart = at;
        while (at < size) {
            const void* next = std::memchr(bytes + at, 0xFF, size - at);
            if (next == nullptr) {
                at = size;
                break;
            }
            at = static_cast<std::size_t>(static_cast<const unsigned char*>(next) - bytes);
            if (at + 1 < size && endsScan(bytes[at + 1])) break;
            at += 2;
        }
        at = std::min(at, size);
        count += at - scanStart;
    }
    return count;
}

std::optional<std::string> implausibleSize(const jpeg_decompress_struct& info,
                                           std::string_view jpeg) {
    std::uint64_t blocks = 0;
    for (int component = 0; component < info.num_components; ++component) {
        const jpeg_component_info& coded = info.comp_info[component];
        blocks += std::uint64_t{coded.width_in_blocks} * coded.height_in_blocks;
    }
    const std::uint64_t codedBytes = entropyCodedByteCount(jpeg);
    if (blocks / kMaxBlocksPerByte <= codedBytes) return std::nullopt;
    return "Its header states " + std::to_string(info.image_width) + " × " +
           std::to_string(info.image_height) + " pixels, more than its " +
           std::to_string(codedBytes) + " bytes of image data can hold.";
}

}  // namespace quillmere::jpeg_data_bound
