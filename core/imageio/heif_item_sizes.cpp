#include "core/imageio/heif_item_sizes.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quillmere {
namespace {

// Thrown inside this file when a box or a field runs past its end: the file is refused.
struct Malformed {};

// Big-endian fields read in order from one payload.
class Fields {
  public:
    explicit Fields(std::string_view bytes) : bytes_(bytes) {}

    std::uint64_t read(std::uint64_t count) {
        if (count > 8) throw Malformed{};
        std::uint64_t value = 0;
        for (const char byte : take(count)) value = value << 8 | static_cast<unsigned char>(byte);
        return value;
    }
    std::string_view take(std::uint64_t count) {
        if (count > bytes_.size()) throw Malformed{};
        const std::string_view taken = bytes_.substr(0, count);
        bytes_.remove_prefix(count);
        return taken;
    }
    // The version of a full box, whose flags are read into `flags`.
    std::uint64_t fullBoxVersion(std::uint64_t* flags = nullptr) {
        const std::uint64_t version = read(1);
        const std::uint64_t boxFlags = read(3);
        if (flags != nullptr) *flags = boxFlags;
        return version;
    }
    std::string_view rest() const { return bytes_; }

  private:
    std::string_view bytes_;
};

struct Box {
    std::string_view type;
    std::string_view payload;
};

std::vector<Box> boxesIn(std::string_view bytes) {
    std::vector<Box> boxes;
    Fields fields(bytes);
    while (!fields.rest().empty()) {
        const std::uint64_t available = fields.rest().size();
        std::uint64_t size = fields.read(4);
        const std::string_view type = fields.take(4);
        std::uint64_t header = 8;
        if (size == 1) {
            size = fields.read(8);
            header = 16;
        } else if (size == 0) {
            size = available;
        }
        if (size < header || size > available) throw Malformed{};
        boxes.push_back({type, fields.take(size - header)});
    }
    return boxes;
}

const Box* firstOf(const std::vector<Box>& boxes, std::string_view type) {
    const auto found = std::find_if(boxes.begin(), boxes.end(),
                                    [&](const Box& box) { return box.type == type; });
    return found == boxes.end() ? nullptr : &*found;
}

struct Extent {
    std::uint64_t width = 0;
    std::uint64_t height = 0;
};

std::string describe(Extent size) {
    return std::to_string(size.width) + " × " + std::to_string(size.height);
}

struct Item {
    std::string_view type;
    std::vector<const Box*> properties;
    std::string data;
};

using Items = std::map<std::uint64_t, Item>;

bool isChecked(std::string_view type) { return type == "hvc1" || type == "grid" || type == "iovl"; }

void readItemTypes(std::string_view iinf, Items& items) {
    Fields fields(iinf);
    fields.read(fields.fullBoxVersion() == 0 ? 2 : 4);  // entry count; the boxes count themselves
    for (const Box& entry : boxesIn(fields.rest())) {
        Fields infe(entry.payload);
        const std::uint64_t version = infe.fullBoxVersion();
        if (entry.type != "infe" || version < 2) continue;  // no item type before version 2
        const std::uint64_t id = infe.read(version == 2 ? 2 : 4);
        infe.read(2);
        items[id].type = infe.take(4);
    }
}

// The data of the items this file checks, gathered from their extents in the file or in 'idat'.
// No item's data is longer than the file, so all of it together may not be either.
void readItemData(std::string_view iloc, std::string_view file, std::string_view idat,
                  Items& items) {
    Fields fields(iloc);
    const std::uint64_t version = fields.fullBoxVersion();
    const std::uint64_t sizes = fields.read(1), moreSizes = fields.read(1);
    const std::uint64_t offsetSize = sizes >> 4, lengthSize = sizes & 15,
                        baseOffsetSize = moreSizes >> 4;
    const std::uint64_t indexSize = version >= 1 ? moreSizes & 15 : 0;
    std::uint64_t gathered = 0;
    for (std::uint64_t count = fields.read(version < 2 ? 2 : 4); count > 0; --count) {
        const auto item = items.find(fields.read(version < 2 ? 2 : 4));
        const std::uint64_t method = version >= 1 ? fields.read(2) & 15 : 0;
        fields.read(2);  // data reference: this file
        const std::uint64_t base = fields.read(baseOffsetSize);
        for (std::uint64_t extents = fields.read(2); extents > 0; --extents) {
            fields.read(indexSize);
            const std::uint64_t offset = base + fields.read(offsetSize);
            std::uint64_t length = fields.read(lengthSize);
            if (item == items.end()) continue;
            // Only offsets into the file and into 'idat' are decoded by libheif.
            if (method > 1) throw Malformed{};
            const std::string_view source = method == 0 ? file : idat;
            if (offset > source.size()) throw Malformed{};
            if (length == 0) length = source.size() - offset;  // to the end
            if (length > source.size() - offset || length > file.size() - gathered) {
                throw Malformed{};
            }
            gathered += length;
            item->second.data += source.substr(offset, length);
        }
    }
}

void readProperties(const std::vector<Box>& iprp, const std::vector<Box>& properties,
                    Items& items) {
    // libheif reads the first association box; every one is checked here.
    for (const Box& box : iprp) {
        if (box.type != "ipma") continue;
        Fields fields(box.payload);
        std::uint64_t flags = 0;
        const std::uint64_t version = fields.fullBoxVersion(&flags);
        const bool wideIndices = (flags & 1) != 0;
        for (std::uint64_t entries = fields.read(4); entries > 0; --entries) {
            const auto item = items.find(fields.read(version < 1 ? 2 : 4));
            for (std::uint64_t count = fields.read(1); count > 0; --count) {
                const std::uint64_t index =
                    fields.read(wideIndices ? 2 : 1) & (wideIndices ? 0x7FFF : 0x7F);
                if (index > properties.size()) throw Malformed{};
                if (index > 0 && item != items.end()) {
                    item->second.properties.push_back(&properties[index - 1]);
                }
            }
        }
    }
}

// The smallest size the item states, if it states one.
std::optional<Extent> statedSize(const Item& item) {
    std::optional<Extent> smallest;
    for (const Box* property : item.properties) {
        if (property->type != "ispe") continue;
        Fields fields(property->payload);
        fields.fullBoxVersion();
        const std::uint64_t width = fields.read(4);
        const std::uint64_t height = fields.read(4);
        smallest = Extent{std::min(width, smallest ? smallest->width : width),
                          std::min(height, smallest ? smallest->height : height)};
    }
    return smallest;
}

// The bits of a NAL unit's payload, its emulation-prevention bytes (03 after 00 00) removed.
class PayloadBits {
  public:
    explicit PayloadBits(std::string_view nal) {
        int zeros = 0;
        for (const char byte : nal) {
            if (zeros >= 2 && byte == 3) {
                zeros = 0;
                continue;
            }
            payload_ += byte;
            zeros = byte == 0 ? zeros + 1 : 0;
        }
    }
    std::uint64_t read(int count) {
        std::uint64_t value = 0;
        for (int bit = 0; bit < count; ++bit, ++position_) {
            if (position_ / 8 >= payload_.size()) throw Malformed{};
            value = value << 1 |
                    (static_cast<unsigned char>(payload_[position_ / 8]) >> (7 - position_ % 8) & 1);
        }
        return value;
    }
    void skip(std::size_t count) {
        if (count > payload_.size() * 8 - position_) throw Malformed{};
        position_ += count;
    }
    std::uint64_t readExpGolomb() {
        int zeros = 0;
        while (read(1) == 0) {
            if (++zeros > 32) throw Malformed{};
        }
        return (std::uint64_t{1} << zeros) - 1 + read(zeros);
    }

  private:
    std::string payload_;
    std::size_t position_ = 0;
};

// The coded picture size a sequence parameter set declares (before any conformance cropping,
// so the size the decoder allocates), from its NAL unit header on.
Extent codedPictureSize(std::string_view nal) {
    PayloadBits bits(nal);
    bits.skip(16 + 4);  // NAL unit header, video parameter set id
    const auto subLayers = static_cast<int>(bits.read(3));
    bits.skip(1 + 96);  // temporal nesting; general profile, tier and level
    if (subLayers > 0) {
        std::vector<std::uint64_t> present;
        for (int layer = 0; layer < subLayers; ++layer) present.push_back(bits.read(2));
        bits.skip(2 * (8 - subLayers));
        for (const std::uint64_t flags : present) {
            bits.skip((flags & 2 ? 88 : 0) + (flags & 1 ? 8 : 0));
        }
    }
    bits.readExpGolomb();  // parameter set id
    if (bits.readExpGolomb() == 3) bits.skip(1);  // 4:4:4 chroma: separate colour planes
    const std::uint64_t width = bits.readExpGolomb();
    return {width, bits.readExpGolomb()};
}

bool isSequenceParameterSet(std::string_view nal) {
    return !nal.empty() && (static_cast<unsigned char>(nal[0]) >> 1 & 0x3F) == 33;
}

// The sequence parameter sets of an HEVC item: in its decoder configuration, and among its coded
// data (a decoder takes the last it meets).
std::vector<std::string_view> sequenceParameterSets(const Item& item) {
    std::vector<std::string_view> found;
    std::uint64_t lengthSize = 4;
    for (const Box* property : item.properties) {
        if (property->type != "hvcC") continue;
        Fields fields(property->payload);
        fields.take(21);
        lengthSize = (fields.read(1) & 3) + 1;
        for (std::uint64_t arrays = fields.read(1); arrays > 0; --arrays) {
            fields.read(1);
            for (std::uint64_t units = fields.read(2); units > 0; --units) {
                const std::string_view nal = fields.take(fields.read(2));
                if (isSequenceParameterSet(nal)) found.push_back(nal);
            }
        }
    }
    Fields data(item.data);
    while (!data.rest().empty()) {
        const std::string_view nal = data.take(data.read(lengthSize));
        if (isSequenceParameterSet(nal)) found.push_back(nal);
    }
    return found;
}

Extent canvasSize(const Item& item) {
    Fields fields(item.data);
    fields.read(1);
    const std::uint64_t flags = fields.read(1);
    fields.take(item.type == "grid" ? 2 : 8);  // rows and columns, or the fill colour
    const std::uint64_t fieldSize = flags & 1 ? 4 : 2;
    const std::uint64_t width = fields.read(fieldSize);
    return {width, fields.read(fieldSize)};
}

std::uint64_t wholeCodingBlocks(std::uint64_t side) { return (side + 63) / 64 * 64; }

std::optional<std::string> oversizedItem(std::uint64_t id, const Item& item) {
    const std::string name = "Its item " + std::to_string(id);
    const std::optional<Extent> stated = statedSize(item);
    if (!stated) return name + " states no size.";
    if (item.type == "hvc1") {
        for (const std::string_view nal : sequenceParameterSets(item)) {
            const Extent coded = codedPictureSize(nal);
            if (coded.width > wholeCodingBlocks(stated->width) ||
                coded.height > wholeCodingBlocks(stated->height)) {
                return name + " states " + describe(*stated) + " pixels but codes a " +
                       describe(coded) + " picture.";
            }
        }
        return std::nullopt;
    }
    const Extent canvas = canvasSize(item);
    if (canvas.width > stated->width || canvas.height > stated->height) {
        return name + " states " + describe(*stated) + " pixels but has a " + describe(canvas) +
               " canvas.";
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> oversizedHeifItem(std::string_view file) {
    try {
        const std::vector<Box> top = boxesIn(file);
        const Box* meta = firstOf(top, "meta");
        if (meta == nullptr) return std::nullopt;
        Fields metaFields(meta->payload);
        metaFields.fullBoxVersion();
        const std::vector<Box> parts = boxesIn(metaFields.rest());
        const Box* iinf = firstOf(parts, "iinf");
        const Box* iloc = firstOf(parts, "iloc");
        const Box* iprp = firstOf(parts, "iprp");
        const Box* idat = firstOf(parts, "idat");
        if (iinf == nullptr || iprp == nullptr) return std::nullopt;

        Items items;
        readItemTypes(iinf->payload, items);
        std::erase_if(items, [](const auto& entry) { return !isChecked(entry.second.type); });
        if (iloc != nullptr) {
            readItemData(iloc->payload, file, idat ? idat->payload : std::string_view{}, items);
        }
        const std::vector<Box> properties = boxesIn(iprp->payload);
        const Box* ipco = firstOf(properties, "ipco");
        const std::vector<Box> propertyList = ipco ? boxesIn(ipco->payload) : std::vector<Box>{};
        readProperties(properties, propertyList, items);
        for (const auto& [id, item] : items) {
            if (std::optional<std::string> oversized = oversizedItem(id, item)) return oversized;
        }
        return std::nullopt;
    } catch (const Malformed&) {
        return "Its boxes cannot be read.";
    }
}

}  // namespace quillmere
