#include "reader/metadata/checks/tiff_structure.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "reader/metadata/checks/byte_order.h"
#include "reader/metadata/checks/exiv2_makernotes.h"
#include "reader/metadata/checks/exiv2_tiff_groups.h"
#include "reader/metadata/checks/iptc_structure.h"
#include "reader/metadata/checks/metadata_limits.h"
#include "reader/metadata/checks/metadata_refusal.h"
#include "reader/metadata/checks/xmp_structure.h"

namespace quillmere::metadata {
namespace {

using G = TiffGroup;
using K = TiffComponentKind;

// Exiv2 reads no directory of more entries than this (it skips the directory whole).
constexpr std::uint16_t kMaxDirectoryEntries = 256;
// An entry count this large makes Exiv2 skip the entry's value.
constexpr std::uint32_t kMaxValueCount = 0x10000000;
constexpr std::uint16_t kMakeTag = 0x010f;
constexpr std::uint16_t kXmpTag = 0x02bc;
constexpr std::uint16_t kIptcTag = 0x83bb;
constexpr std::uint16_t kPhotoshopTag = 0x8649;
constexpr std::uint16_t kCanonAFInfoTag = 0x0026;
// Entries Exiv2 adds, each after a lookup among all entries, for a Canon AF info value and a
// maker note.
constexpr std::uint64_t kCanonAFInfoLookups = 15;
constexpr std::uint64_t kMakernoteLookups = 3;

// How Exiv2 reads offsets at this point: the byte order, and the offset they count from.
struct ReadState {
    ByteOrder order;
    std::uint32_t base = 0;
};

// An entry's value as Exiv2 reads it.
struct EntryValue {
    bool present = false;  // Exiv2 made a value (it skips entries of absurd counts)
    std::uint16_t type = 0;
    std::uint32_t size = 0;  // bytes, after Exiv2 drops values it finds out of range
    std::uint64_t at = 0;    // where they are in the block
    ByteOrder order = ByteOrder::little;
};

// Bytes of one element of a TIFF type, as Exiv2 sizes them (an unknown type counts 1).
std::uint32_t typeSize(std::uint16_t type) {
    switch (type) {
        case 3:
        case 8:
            return 2;
        case 4:
        case 9:
        case 11:
        case 13:
            return 4;
        case 5:
        case 10:
        case 12:
            return 8;
        default:
            return 1;
    }
}

// The n-th number of an integer value as Exiv2's toLong gives it, cut to 32 bits as its callers
// do. Nothing for a value that is not of an integer type.
std::optional<std::uint32_t> integerAt(std::string_view block, const EntryValue& value,
                                       std::uint32_t index) {
    switch (value.type) {
        case 1:
        case 6:
        case 7:
            return static_cast<unsigned char>(block[value.at + index]);
        case 3:
            return read16(block, value.at + 2 * std::uint64_t{index}, value.order);
        case 8:
            return static_cast<std::uint32_t>(static_cast<std::int16_t>(
                read16(block, value.at + 2 * std::uint64_t{index}, value.order)));
        case 4:
        case 9:
        case 13:
            return read32(block, value.at + 4 * std::uint64_t{index}, value.order);
        default:
            return std::nullopt;
    }
}

std::optional<std::uint32_t> integerCount(const EntryValue& value) {
    switch (value.type) {
        case 1:
        case 6:
        case 7:
            return value.size;
        case 3:
        case 8:
            return value.size / 2;
        case 4:
        case 9:
        case 13:
            return value.size / 4;
        default:
            return std::nullopt;
    }
}

class TiffWalk {
  public:
    explicit TiffWalk(std::string_view block)
        : block_(block), size_(static_cast<std::uint32_t>(block.size())) {}

    // Returns the make Exiv2 decodes (IFD0's first Make with a value), if any.
    std::optional<std::string> run(std::uint32_t firstDirectory, ByteOrder order, G root) {
        directory(firstDirectory, root, {order, 0}, true, 1);
        if (lookups_ * components_ > limits::tiffLookupVisits) {
            refuse("its entries would be looked up among each other too often");
        }
        return decodedMake_;
    }

  private:
    [[noreturn]] static void refuse(const std::string& why) {
        throw MetadataRefusal("The EXIF structure is refused: " + why + ".");
    }

    void claim(std::uint64_t bytes) {
        claimed_ += bytes;
        if (claimed_ > block_.size()) {
            refuse("its entries name " + std::to_string(claimed_) +
                   " bytes or more of a block of " + std::to_string(block_.size()));
        }
    }

    void addComponents(std::uint64_t count) {
        components_ += count;
        if (components_ > limits::tiffComponents) refuse("it has too many entries");
    }

    void directory(std::uint64_t start, G group, const ReadState& state, bool hasNext, int depth) {
        if (depth > limits::tiffNesting) refuse("its directories nest too deep");
        // A directory inside itself is a loop, which no camera writes. Named again elsewhere it
        // is one Exiv2 has read, and reads no more.
        if (std::find(path_.begin(), path_.end(), start) != path_.end()) {
            refuse("its directories loop");
        }
        if (!directories_.insert(start).second) return;
        addComponents(1);
        path_.push_back(start);
        struct Leave {
            std::vector<std::uint64_t>& path;
            ~Leave() { path.pop_back(); }
        } const leave{path_};
        if (start + 2 > size_) return;
        const std::uint16_t count = read16(block_, start, state.order);
        if (count > kMaxDirectoryEntries) return;

        std::vector<std::pair<std::uint16_t, std::uint64_t>> entries;
        std::uint64_t at = start + 2;
        bool whole = true;
        for (std::uint16_t index = 0; index < count; ++index, at += 12) {
            if (at + 12 > size_) {
                whole = false;
                break;
            }
            const std::uint16_t tag = read16(block_, at, state.order);
            if (tiffComponent(tag, group).kind == K::none) continue;
            entries.emplace_back(tag, at);
        }
        claim(at - start);
        addComponents(entries.size());

        std::optional<std::uint64_t> next;
        if (whole && hasNext && at + 4 <= size_) next = nextOffset(at, group, state);

        for (const auto& [tag, entryAt] : entries) {
            component(tag, entryAt, group, tiffComponent(tag, group), state, depth);
        }
        if (next) {
            const TiffComponentRule rule = tiffNextComponent(group);
            if (rule.kind == K::subDirectory) {
                directory(*next, rule.subGroup, state, true, depth + 1);
            } else {
                addComponents(1);
                if (rule.kind == K::entry) readEntry(*next, state);
            }
        }
    }

    // Where the component Exiv2 makes of a directory's next offset starts; nothing when it
    // makes none.
    std::optional<std::uint64_t> nextOffset(std::uint64_t at, G group, const ReadState& state) {
        const std::uint32_t next = read32(block_, at, state.order);
        if (next == 0 || tiffNextComponent(group).kind == K::none) return std::nullopt;
        claim(4);
        return insideBlock(state.base, next);
    }

    // base + offset as Exiv2 checks it (in 32 bits) against the block; an offset whose sum only
    // passes because it wrapped would make Exiv2 read outside the block.
    std::optional<std::uint64_t> insideBlock(std::uint32_t base, std::uint32_t offset) const {
        if (static_cast<std::uint32_t>(base + offset) > size_) return std::nullopt;
        const std::uint64_t start = std::uint64_t{base} + offset;
        if (start > size_) refuse("an offset wraps past the end of the block");
        return start;
    }

    EntryValue readEntry(std::uint64_t at, const ReadState& state) {
        EntryValue value;
        if (at + 12 > size_) return value;
        value.type = read16(block_, at + 2, state.order);
        value.order = state.order;
        const std::uint32_t count = read32(block_, at + 4, state.order);
        if (count >= kMaxValueCount) return value;
        value.present = true;
        value.size = typeSize(value.type) * count;
        value.at = at + 8;
        if (value.size > 4) {
            const std::uint32_t offset = read32(block_, at + 8, state.order);
            const std::uint32_t wrapped = state.base + offset;
            if (wrapped >= size_ || wrapped == 0) {
                value.size = 0;
            } else {
                value.at = std::uint64_t{state.base} + offset;
                if (value.at > size_) refuse("a value's offset wraps past the end of the block");
                if (value.size > size_ - value.at) value.size = 0;
            }
        }
        if (value.size > 4) claim(value.size);
        return value;
    }

    void component(std::uint16_t tag, std::uint64_t at, G group, const TiffComponentRule& rule,
                   const ReadState& state, int depth) {
        if (rule.kind == K::binaryElement) return;  // an element with no value of its own
        const EntryValue value = readEntry(at, state);
        // Exiv2's lookups find the first entry of a tag and group read.
        const bool firstOfItsKind = first_.try_emplace({tag, group}, value).second;
        switch (rule.kind) {
            case K::entry:
                entry(tag, group, value, firstOfItsKind);
                break;
            case K::subDirectory:
                subDirectories(rule.subGroup, group, value, state, depth);
                break;
            case K::makernote:
                makernote(tag, value, state, depth);
                break;
            case K::binaryArray:
                binaryArray(group, value, firstOfItsKind);
                break;
            case K::imageData:
            case K::imageSize:
                ++lookups_;
                break;
            case K::thumbnailData:
                thumbnailOffsets(rule, value, state);
                break;
            case K::thumbnailSize:
                thumbnailSizes(rule, value, state);
                break;
            default:
                break;
        }
    }

    void entry(std::uint16_t tag, G group, const EntryValue& value, bool firstOfItsKind) {
        if (group == G::ifd0 && tag == kMakeTag) {
            if (firstOfItsKind) make_ = makeText(value);
            if (value.present && !decodedMake_) decodedMake_ = makeText(value);
        } else if (group == G::ifd0 && tag == kXmpTag && value.present) {
            checkTiffXmp(value);
        } else if (group == G::ifd0 && (tag == kIptcTag || tag == kPhotoshopTag) &&
                   firstOfItsKind && value.present) {
            const std::string_view bytes = block_.substr(value.at, value.size);
            if (tag == kIptcTag) {
                checkIptcBlock(bytes);
            } else {
                checkPhotoshopIptc(bytes);
            }
        } else if (group == G::canon && tag == kCanonAFInfoTag && value.present) {
            lookups_ += kCanonAFInfoLookups;
            addComponents(kCanonAFInfoLookups);
        }
    }

    // IFD0's Make as Exiv2's text of it (up to its first NUL); empty when it is no text.
    std::string makeText(const EntryValue& value) const {
        if (!value.present || value.type != 2) return {};
        const std::string_view text = block_.substr(value.at, value.size);
        return std::string(text.substr(0, text.find('\0')));
    }

    // Exiv2 decodes the XMP of every XMP entry of IFD0, from its first '<' on.
    void checkTiffXmp(const EntryValue& value) {
        std::string_view packet = block_.substr(value.at, value.size);
        const std::size_t start = packet.find('<');
        if (start != std::string_view::npos) packet.remove_prefix(start);
        checkXmpPacket(packet);
    }

    void subDirectories(G subGroup, G group, const EntryValue& value, const ReadState& state,
                        int depth) {
        if (!value.present || (value.type != 4 && value.type != 9 && value.type != 13)) return;
        // Exiv2 follows nine sub-directories of a tag, one of IFD1's.
        const std::uint32_t followed = group == G::ifd1 ? 1 : 9;
        const std::uint32_t count = value.size / 4;
        for (std::uint32_t index = 0; index < count && index < followed; ++index) {
            const std::uint32_t offset =
                read32(block_, value.at + 4 * std::uint64_t{index}, state.order);
            const std::optional<std::uint64_t> start = insideBlock(state.base, offset);
            if (!start) return;
            directory(*start, groupAfter(subGroup, index), state, true, depth + 1);
        }
    }

    void makernote(std::uint16_t tag, const EntryValue& value, const ReadState& state, int depth) {
        ++lookups_;  // Exiv2 looks the make up
        if (!value.present || !make_) return;
        const std::string_view note = block_.substr(value.at, value.size);
        const std::optional<MakernoteLayout> layout =
            makernoteLayout(*make_, tag, note, block_.substr(value.at));
        if (!layout) return;
        // Exiv2 keeps the note's bytes whole beside what it reads from them: they are counted
        // apart from the entries, which may lie anywhere in the block.
        if (value.size > 4) claimed_ -= value.size;
        makernoteCopies_ += value.size;
        if (makernoteCopies_ > block_.size()) {
            refuse("its maker notes name more bytes than it holds");
        }
        lookups_ += kMakernoteLookups;
        addComponents(kMakernoteLookups);
        const ReadState noteState{
            layout->byteOrder.value_or(state.order),
            layout->baseShift ? static_cast<std::uint32_t>(value.at + *layout->baseShift) : 0};
        directory(value.at + layout->directoryOffset, layout->group, noteState, layout->hasNext,
                  depth + 1);
    }

    // Exiv2 splits the first array of each tag into elements; the others it leaves whole.
    void binaryArray(G group, const EntryValue& value, bool firstOfItsKind) {
        lookups_ += 2;
        if (!firstOfItsKind || !value.present || value.size == 0) return;
        // Canon's arrays hold 16-bit elements; the others are counted a byte an element, the
        // smallest an element can be.
        addComponents(group == G::canon ? value.size / 2 : value.size);
    }

    void thumbnailOffsets(const TiffComponentRule& rule, const EntryValue& offsets,
                          const ReadState& state) {
        ++lookups_;
        const auto sizes = first_.find({rule.partnerTag, rule.partnerGroup});
        if (sizes != first_.end()) claim(thumbnailCopy(offsets, sizes->second, state.base));
    }

    void thumbnailSizes(const TiffComponentRule& rule, const EntryValue& sizes,
                        const ReadState& state) {
        ++lookups_;
        const auto offsets = first_.find({rule.partnerTag, rule.partnerGroup});
        if (offsets != first_.end()) claim(thumbnailCopy(offsets->second, sizes, state.base));
    }

    // The bytes of the thumbnail Exiv2 copies for these offsets and sizes: it takes contiguous
    // strips inside the block only.
    std::uint64_t thumbnailCopy(const EntryValue& offsets, const EntryValue& sizes,
                                std::uint32_t base) const {
        if (!offsets.present || !sizes.present) return 0;
        const std::optional<std::uint32_t> count = integerCount(offsets);
        const std::optional<std::uint32_t> sizeCount = integerCount(sizes);
        if (!count || !sizeCount) refuse("a thumbnail is located by numbers that are not integers");
        if (*count == 0 || *count != *sizeCount) return 0;
        std::uint32_t total = 0;
        for (std::uint32_t index = 0; index < *count; ++index)
            total += *integerAt(block_, sizes, index);
        const std::uint32_t first = *integerAt(block_, offsets, 0);
        const std::uint32_t lastEnd =
            *integerAt(block_, offsets, *count - 1) + *integerAt(block_, sizes, *count - 1);
        if (static_cast<std::uint32_t>(lastEnd - first) != total) return 0;
        if (first > size_ || total > size_ ||
            static_cast<std::uint32_t>(base + first) > size_ - total) {
            return 0;
        }
        if (std::uint64_t{base} + first + total > size_) refuse("a thumbnail's offset wraps");
        return total;
    }

    std::string_view block_;
    std::uint32_t size_;
    std::uint64_t claimed_ = 0;
    std::uint64_t makernoteCopies_ = 0;
    std::uint64_t components_ = 0;
    std::uint64_t lookups_ = 0;
    std::unordered_set<std::uint64_t> directories_;
    std::vector<std::uint64_t> path_;  // the directories being read, outermost first
    std::map<std::pair<std::uint16_t, G>, EntryValue> first_;
    std::optional<std::string> make_;
    std::optional<std::string> decodedMake_;
};

struct Header {
    ByteOrder order;
    std::uint32_t firstDirectory;
};

std::optional<Header> readHeader(std::string_view block, TiffHeaderKind kind) {
    if (block.size() < (kind == TiffHeaderKind::cr2 ? 16u : 8u)) return std::nullopt;
    ByteOrder order;
    if (block.starts_with("II")) {
        order = ByteOrder::little;
    } else if (block.starts_with("MM")) {
        order = ByteOrder::big;
    } else {
        return std::nullopt;
    }
    const std::uint16_t magic = read16(block, 2, order);
    const bool magicKnown =
        kind == TiffHeaderKind::orf ? magic == 0x4f52 || magic == 0x5352 : magic == 42;
    if (!magicKnown) return std::nullopt;
    if (kind == TiffHeaderKind::cr2 && block.substr(8, 4) != std::string_view("CR\2\0", 4)) {
        return std::nullopt;
    }
    return Header{order, read32(block, 4, order)};
}

}  // namespace

std::optional<std::string> checkTiffStructure(std::string_view block, TiffHeaderKind kind,
                                              TiffRoot root) {
    if (block.size() > std::numeric_limits<std::uint32_t>::max()) {
        throw MetadataRefusal("The EXIF structure is refused: it is larger than Exiv2 reads.");
    }
    if (block.empty()) return std::nullopt;  // Exiv2 reads nothing of an empty block
    const std::optional<Header> header = readHeader(block, kind);
    if (!header || header->firstDirectory >= block.size()) {
        throw MetadataRefusal("The EXIF structure is refused: it has no TIFF header Exiv2 reads.");
    }
    return TiffWalk(block).run(header->firstDirectory, header->order,
                               root == TiffRoot::fuji ? G::fuji : G::ifd0);
}

}  // namespace quillmere::metadata
