#include "core/imageio/jpeg/jpeg_data_bound.h"

#include <algorithm>
#include <cstring>

namespace quillmere::jpeg_data_bound {
namespace {

constexpr unsigned char kStartOfImage = 0xD8;
constexpr unsigned char kEndOfImage = 0xD9;
constexpr unsigned char kStartOfScan = 0xDA;

bool hasNoLength(unsigned char marker) {
    return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7) || marker == kStartOfImage;
}

bool isRestart(unsigned char marker) { return marker >= 0xD0 && marker <= 0xD7; }

// Within coded data 0xFF is followed by 0x00 (a stuffed byte) or a restart marker; anything else
// is the marker that ends the scan.
bool endsScan(unsigned char afterFF) { return afterFF != 0x00 && !isRestart(afterFF); }

// The coded bytes of the scan whose data starts at `at`, which moves to the marker ending it.
std::uint64_t scanBytes(const unsigned char* bytes, std::size_t size, std::size_t& at) {
    std::uint64_t count = 0;
    while (at < size) {
        const void* next = std::memchr(bytes + at, 0xFF, size - at);
        const std::size_t found =
            next == nullptr ? size : static_cast<std::size_t>(static_cast<const unsigned char*>(next) - bytes);
        count += found - at;
        at = found;
        if (at + 1 >= size) {
            count += size - at;  // a last 0xFF with nothing after it
            at = size;
            break;
        }
        if (endsScan(bytes[at + 1])) break;
        if (bytes[at + 1] == 0x00) ++count;  // the 0xFF is data, its stuffed zero is not
        at += 2;
    }
    return count;
}

}  // namespace

std::uint64_t codedByteCount(std::string_view jpeg) {
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
        if (marker == kStartOfScan) count += scanBytes(bytes, size, at);
    }
    return count;
}

std::uint64_t blockCount(const jpeg_decompress_struct& info) {
    std::uint64_t blocks = 0;
    for (int component = 0; component < info.num_components; ++component) {
        const jpeg_component_info& coded = info.comp_info[component];
        blocks += std::uint64_t{coded.width_in_blocks} * coded.height_in_blocks;
    }
    return blocks;
}

std::optional<std::string> implausibleSize(const jpeg_decompress_struct& info,
                                           std::uint64_t codedBytes) {
    if (blockCount(info) <= codedBytes * kMaxBlocksPerByte) return std::nullopt;
    return "Its header states " + std::to_string(info.image_width) + " × " +
           std::to_string(info.image_height) + " pixels, more than its " +
           std::to_string(codedBytes) + " bytes of image data can hold.";
}

}  // namespace quillmere::jpeg_data_bound
