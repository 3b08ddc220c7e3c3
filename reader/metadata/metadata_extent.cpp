#include "reader/metadata/metadata_extent.h"

#include <algorithm>
#include <optional>
#include <set>
#include <vector>

namespace quillmere {
namespace {

constexpr unsigned char kMarker = 0xFF;
constexpr unsigned char kStartOfScan = 0xDA;
constexpr unsigned char kEndOfImage = 0xD9;

std::uint64_t bigEndian(std::string_view bytes, std::size_t at, std::size_t width) {
    std::uint64_t value = 0;
    for (std::size_t index = 0; index < width; ++index) {
        value = (value << 8) | static_cast<unsigned char>(bytes[at + index]);
    }
    return value;
}

// The markers Exiv2 reads a length after: the frames (with the Huffman tables among them), the
// application segments, the quantisation tables, the restart interval, the comment and the scan.
bool hasLength(unsigned char marker) {
    return (marker >= 0xC0 && marker <= 0xCF) || (marker >= 0xE0 && marker <= 0xEF) ||
           marker == 0xDB || marker == 0xDD || marker == 0xFE || marker == kStartOfScan;
}

// Where Exiv2's walk over a JPEG's segments stops: at the first scan or the end of the image,
// found as Exiv2 finds them (any bytes up to a marker skipped, fill bytes too), or where a segment
// breaks off.
std::uint64_t jpegHeaderBytes(std::string_view file) {
    std::size_t at = 2;
    for (;;) {
        while (at < file.size() && static_cast<unsigned char>(file[at]) != kMarker) ++at;
        while (at < file.size() && static_cast<unsigned char>(file[at]) == kMarker) ++at;
        if (at >= file.size()) return file.size();
        const auto marker = static_cast<unsigned char>(file[at++]);
        if (marker == kStartOfScan || marker == kEndOfImage) return at;
        if (!hasLength(marker)) continue;
        if (file.size() - at < 2) return file.size();
        const std::uint64_t length = bigEndian(file, at, 2);
        if (length < 2 || length > file.size() - at) return file.size();
        at += length;
    }
}

// One box of an ISO base media file: its type, where it starts, where its content starts and
// where it ends.
struct Box {
    std::string_view type;
    std::size_t start = 0;
    std::size_t content = 0;
    std::size_t end = 0;
};

// The boxes from `at` to `end`, one after another; nothing when one breaks off.
std::optional<std::vector<Box>> boxesIn(std::string_view file, std::size_t at, std::size_t end) {
    std::vector<Box> boxes;
    while (at < end) {
        if (end - at < 8) return std::nullopt;
        std::uint64_t size = bigEndian(file, at, 4);
        std::size_t header = 8;
        if (size == 1) {
            if (end - at < 16) return std::nullopt;
            size = bigEndian(file, at + 8, 8);
            header = 16;
        } else if (size == 0) {
            size = end - at;
        }
        if (size < header || size > end - at) return std::nullopt;
        boxes.push_back(
            {file.substr(at + 4, 4), at, at + header, at + static_cast<std::size_t>(size)});
        at += static_cast<std::size_t>(size);
    }
    return boxes;
}

// Reads fields of a box's content one after another; a field past its end makes it fail.
class Fields {
  public:
    Fields(std::string_view file, const Box& box) : file_(file), at_(box.content), end_(box.end) {}

    std::optional<std::uint64_t> number(std::size_t width) {
        if (width == 0) return 0;
        if (end_ - at_ < width) return std::nullopt;
        const std::uint64_t value = bigEndian(file_, at_, width);
        at_ += width;
        return value;
    }
    std::optional<std::string_view> type() {
        if (end_ - at_ < 4) return std::nullopt;
        at_ += 4;
        return file_.substr(at_ - 4, 4);
    }
    std::size_t position() const { return at_; }

  private:
    std::string_view file_;
    std::size_t at_;
    std::size_t end_;
};

// The IDs of the items an 'iinf' box describes as EXIF ('Exif') or XMP (a 'mime' item).
std::optional<std::set<std::uint64_t>> metadataItemsIn(std::string_view file, const Box& iinf) {
    Fields fields(file, iinf);
    const std::optional<std::uint64_t> version = fields.number(1);
    if (!version || !fields.number(3)) return std::nullopt;
    const std::optional<std::uint64_t> count = fields.number(*version == 0 ? 2 : 4);
    if (!count) return std::nullopt;
    const std::optional<std::vector<Box>> entries = boxesIn(file, fields.position(), iinf.end);
    if (!entries) return std::nullopt;
    std::set<std::uint64_t> items;
    for (const Box& entry : *entries) {
        if (entry.type != "infe") continue;
        Fields infe(file, entry);
        const std::optional<std::uint64_t> entryVersion = infe.number(1);
        if (!entryVersion || !infe.number(3)) return std::nullopt;
        if (*entryVersion < 2) continue;  // before version 2 an item has no type
        const std::optional<std::uint64_t> id = infe.number(*entryVersion == 2 ? 2 : 4);
        const std::optional<std::uint64_t> protection = infe.number(2);
        const std::optional<std::string_view> type = infe.type();
        if (!id || !protection || !type) return std::nullopt;
        if (*type == "Exif" || *type == "mime") items.insert(*id);
    }
    return items;
}

// The bytes the extents of `items` name in an 'iloc' box.
std::optional<std::uint64_t> itemBytesIn(std::string_view file, const Box& iloc,
                                         const std::set<std::uint64_t>& items) {
    Fields fields(file, iloc);
    const std::optional<std::uint64_t> version = fields.number(1);
    if (!version || *version > 2 || !fields.number(3)) return std::nullopt;
    const std::optional<std::uint64_t> sizes = fields.number(1);
    const std::optional<std::uint64_t> moreSizes = fields.number(1);
    if (!sizes || !moreSizes) return std::nullopt;
    const std::size_t offsetSize = *sizes >> 4, lengthSize = *sizes & 0xF;
    const std::size_t baseOffsetSize = *moreSizes >> 4;
    const std::size_t indexSize = *version == 0 ? 0 : (*moreSizes & 0xF);
    const std::optional<std::uint64_t> count = fields.number(*version < 2 ? 2 : 4);
    if (!count) return std::nullopt;
    std::uint64_t bytes = 0;
    for (std::uint64_t item = 0; item < *count; ++item) {
        const std::optional<std::uint64_t> id = fields.number(*version < 2 ? 2 : 4);
        if (!id || (*version > 0 && !fields.number(2)) || !fields.number(2) ||
            !fields.number(baseOffsetSize)) {
            return std::nullopt;
        }
        const std::optional<std::uint64_t> extents = fields.number(2);
        if (!extents) return std::nullopt;
        for (std::uint64_t extent = 0; extent < *extents; ++extent) {
            // An extent of no length names the rest of the file.
            if (lengthSize == 0) {
                if (items.contains(*id)) return file.size();
                if (indexSize + offsetSize == 0) break;  // the rest of its extents are as empty
            }
            const std::optional<std::uint64_t> length =
                fields.number(indexSize) && fields.number(offsetSize) ? fields.number(lengthSize)
                                                                      : std::nullopt;
            if (!length) return std::nullopt;
            if (items.contains(*id)) {
                if (*length == 0 || *length >= file.size() - bytes) return file.size();
                bytes += *length;
            }
        }
    }
    return bytes;
}

// The bytes of the EXIF and XMP items a 'meta' box locates.
std::optional<std::uint64_t> metadataItemBytes(std::string_view file, const Box& meta) {
    if (meta.end - meta.content < 4) return std::nullopt;
    const std::optional<std::vector<Box>> children = boxesIn(file, meta.content + 4, meta.end);
    if (!children) return std::nullopt;
    std::set<std::uint64_t> items;
    for (const Box& child : *children) {
        if (child.type != "iinf") continue;
        const std::optional<std::set<std::uint64_t>> found = metadataItemsIn(file, child);
        if (!found) return std::nullopt;
        items.insert(found->begin(), found->end());
    }
    std::uint64_t bytes = 0;
    for (const Box& child : *children) {
        if (child.type != "iloc") continue;
        const std::optional<std::uint64_t> located = itemBytesIn(file, child, items);
        if (!located) return std::nullopt;
        bytes = std::min<std::uint64_t>(bytes + *located, file.size());
    }
    return bytes;
}

std::uint64_t isoMediaMetadataBytes(std::string_view file) {
    const std::optional<std::vector<Box>> boxes = boxesIn(file, 0, file.size());
    if (!boxes) return file.size();
    // The boxes add up to at most the file, and so do the items of each 'meta' box: kept below the
    // file's size at each, the count never overflows.
    std::uint64_t bytes = 0;
    for (const Box& box : *boxes) {
        if (box.type == "mdat") continue;
        bytes = std::min<std::uint64_t>(bytes + (box.end - box.start), file.size());
        if (box.type != "meta") continue;
        const std::optional<std::uint64_t> items = metadataItemBytes(file, box);
        if (!items) return file.size();
        bytes = std::min<std::uint64_t>(bytes + *items, file.size());
    }
    return bytes;
}

}  // namespace

std::uint64_t metadataExtentOf(std::string_view file) {
    if (file.size() >= 2 && static_cast<unsigned char>(file[0]) == kMarker &&
        static_cast<unsigned char>(file[1]) == 0xD8) {
        return jpegHeaderBytes(file);
    }
    if (file.size() >= 12 && file.substr(4, 4) == "ftyp") return isoMediaMetadataBytes(file);
    return file.size();
}

}  // namespace quillmere
