#include "reader/metadata/checks/ciff_structure.h"

#include <cstdint>
#include <string>

#include "reader/metadata/checks/byte_order.h"
#include "reader/metadata/checks/metadata_limits.h"
#include "reader/metadata/checks/metadata_refusal.h"

namespace quillmere::metadata {
namespace {

constexpr std::uint32_t kHeaderSize = 14;
constexpr std::uint32_t kEntrySize = 10;

[[noreturn]] void refuse(const std::string& why) {
    throw MetadataRefusal("The CRW structure is refused: " + why + ".");
}

bool isDirectory(std::uint16_t tag) {
    const std::uint16_t kind = tag & 0x3800;
    return kind == 0x2800 || kind == 0x3000;
}

// Canon's camera settings, shot info, custom functions and picture info: Exiv2 makes an entry of
// each 16-bit number in them.
bool isCanonArray(std::uint16_t tag) {
    return tag == 0x102a || tag == 0x102d || tag == 0x1033 || tag == 0x1038;
}

class CiffWalk {
  public:
    CiffWalk(std::uint64_t fileSize, ByteOrder order) : fileSize_(fileSize), order_(order) {}

    void heap(std::string_view heap, int depth) {
        if (depth > limits::tiffNesting) refuse("its heaps nest too deep");
        if (heap.size() < 4) refuse("a heap is too small");
        const auto size = static_cast<std::uint32_t>(heap.size());
        std::uint32_t at = read32(heap, size - 4, order_);
        if (at > size - 2) refuse("a heap's directory lies outside it");
        const std::uint16_t count = read16(heap, at, order_);
        at += 2;
        if (std::uint64_t{count} * kEntrySize > size - at) refuse("a directory runs past its heap");
        for (std::uint16_t index = 0; index < count; ++index, at += kEntrySize) {
            entry(heap, at, depth);
        }
    }

  private:
    void entry(std::string_view region, std::uint32_t start, int depth) {
        if (++components_ > limits::ciffComponents) refuse("it has too many components");
        const auto size = static_cast<std::uint32_t>(region.size());
        const std::uint16_t tag = read16(region, start, order_);
        std::uint32_t length = 8;
        std::uint32_t offset = start + 2;
        switch (tag & 0xc000) {
            case 0x0000:  // the value lies elsewhere in the heap, never over the entry itself
                length = read32(region, start + 2, order_);
                offset = read32(region, start + 6, order_);
                if (offset < start
                        ? length > start - offset
                        : offset < start + kEntrySize || offset > size || length > size - offset) {
                    refuse("a value lies outside its heap");
                }
                break;
            case 0x4000:
                break;  // the value is in the entry
            default:
                refuse("an entry names no place for its value");
        }
        if (isDirectory(tag)) {
            heap(region.substr(offset, length), depth + 1);
            return;
        }
        claimed_ += length;
        if (claimed_ > fileSize_) refuse("its values name more bytes than it holds");
        if (isCanonArray(tag)) {
            components_ += length / 2;
            if (components_ > limits::ciffComponents) refuse("it has too many components");
        }
    }

    std::uint64_t fileSize_;
    ByteOrder order_;
    std::uint64_t claimed_ = 0;
    std::uint64_t components_ = 0;
};

}  // namespace

void checkCiffStructure(std::string_view file) {
    if (file.size() < kHeaderSize || file.size() > 0xffffffffu) refuse("it has no CIFF header");
    ByteOrder order;
    if (file.starts_with("II")) {
        order = ByteOrder::little;
    } else if (file.starts_with("MM")) {
        order = ByteOrder::big;
    } else {
        refuse("it has no CIFF header");
    }
    const std::uint32_t root = read32(file, 2, order);
    if (root < kHeaderSize || root > file.size() || file.substr(6, 8) != "HEAPCCDR") {
        refuse("it has no CIFF header");
    }
    CiffWalk(file.size(), order).heap(file.substr(root), 1);
}

}  // namespace quillmere::metadata
