#include "core/imageio/heif/heif_boxes.h"

#include <algorithm>

namespace quillmere::heif_boxes {
namespace {

// The box at the start of `fields`, which moves past it.
Box nextBox(Fields& fields) {
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
    return {type, fields.take(size - header)};
}

// libheif reads the file's boxes up to the first it cannot read, and takes the last 'meta' box
// among them: the one its images come from, whatever comes before it.
std::string_view lastMetaPayload(std::string_view file) {
    Fields fields(file);
    std::string_view meta;
    try {
        while (!fields.rest().empty()) {
            const Box box = nextBox(fields);
            if (box.type == "meta") meta = box.payload;
        }
    } catch (const Malformed&) {
        // The boxes read so far stand, as they do for libheif.
    }
    return meta;
}

ItemID primaryItem(std::string_view pitm) {
    Fields fields(pitm);
    return fields.read(fields.fullBoxHeader().version == 0 ? 2 : 4);
}

std::map<ItemID, std::string_view> itemTypes(std::string_view iinf) {
    std::map<ItemID, std::string_view> types;
    if (iinf.empty()) return types;
    Fields fields(iinf);
    fields.take(fields.fullBoxHeader().version == 0 ? 2 : 4);  // entry count; boxes count themselves
    for (const Box& entry : boxesIn(fields.rest())) {
        Fields infe(entry.payload);
        const std::uint64_t version = infe.fullBoxHeader().version;
        if (entry.type != "infe" || version < 2) continue;  // no item type before version 2
        const ItemID id = infe.read(version == 2 ? 2 : 4);
        infe.take(2);  // protection index
        types[id] = infe.take(4);
    }
    return types;
}

void readReferences(std::string_view iref, Items& items) {
    if (iref.empty()) return;
    Fields fields(iref);
    const std::uint64_t idSize = fields.fullBoxHeader().version == 0 ? 2 : 4;
    for (const Box& reference : boxesIn(fields.rest())) {
        Fields ids(reference.payload);
        const ItemID from = ids.read(idSize);
        for (std::uint64_t count = ids.read(2); count > 0; --count) {
            const ItemID to = ids.read(idSize);
            if (reference.type == "dimg") items.derivedFrom.emplace(from, to);
            if (reference.type == "auxl") items.auxiliaryFor.emplace(from, to);
        }
    }
}

std::map<ItemID, std::vector<Box>> itemProperties(std::string_view iprp) {
    const std::vector<Box> parts = boxesIn(iprp);
    const std::vector<Box> properties = boxesIn(payloadOf(parts, "ipco"));
    std::map<ItemID, std::vector<Box>> associated;
    const std::string_view ipma = payloadOf(parts, "ipma");
    if (ipma.empty()) return associated;
    Fields fields(ipma);
    const auto [version, flags] = fields.fullBoxHeader();
    for (std::uint64_t entries = fields.read(4); entries > 0; --entries) {
        const ItemID id = fields.read(version < 1 ? 2 : 4);
        for (std::uint64_t count = fields.read(1); count > 0; --count) {
            // The top bit marks an essential property; the rest is its index in 'ipco', from 1.
            const std::uint64_t index = (flags & 1) ? fields.read(2) & 0x7FFF : fields.read(1) & 0x7F;
            if (index > 0 && index <= properties.size()) {
                associated[id].push_back(properties[index - 1]);
            }
        }
    }
    return associated;
}

std::map<ItemID, ItemLocation> itemLocations(std::string_view iloc) {
    std::map<ItemID, ItemLocation> locations;
    if (iloc.empty()) return locations;
    Fields fields(iloc);
    const std::uint64_t version = fields.fullBoxHeader().version;
    const std::uint64_t sizes = fields.read(2);
    const std::uint64_t offsetSize = sizes >> 12 & 0xF, lengthSize = sizes >> 8 & 0xF,
                        baseOffsetSize = sizes >> 4 & 0xF;
    const std::uint64_t indexSize = version == 1 || version == 2 ? sizes & 0xF : 0;
    for (std::uint64_t count = fields.read(version < 2 ? 2 : 4); count > 0; --count) {
        const ItemID id = fields.read(version < 2 ? 2 : 4);
        ItemLocation location;
        if (version == 1 || version == 2) location.constructionMethod = fields.read(2) & 0xF;
        fields.take(2);  // data reference index
        location.baseOffset = fields.read(baseOffsetSize);
        for (std::uint64_t extents = fields.read(2); extents > 0; --extents) {
            fields.take(indexSize);
            const std::uint64_t offset = fields.read(offsetSize);
            location.extents.emplace_back(offset, fields.read(lengthSize));
        }
        locations[id] = std::move(location);
    }
    return locations;
}

}  // namespace

std::uint64_t Fields::read(std::uint64_t count) {
    if (count > 8) throw Malformed{};
    std::uint64_t value = 0;
    for (const char byte : take(count)) value = value << 8 | static_cast<unsigned char>(byte);
    return value;
}

std::string_view Fields::take(std::uint64_t count) {
    if (count > bytes_.size()) throw Malformed{};
    const std::string_view taken = bytes_.substr(0, count);
    bytes_.remove_prefix(count);
    return taken;
}

Fields::FullBoxHeader Fields::fullBoxHeader() {
    const std::uint64_t version = read(1);
    return {version, read(3)};
}

std::vector<Box> boxesIn(std::string_view bytes) {
    std::vector<Box> boxes;
    Fields fields(bytes);
    while (!fields.rest().empty()) boxes.push_back(nextBox(fields));
    return boxes;
}

std::string_view payloadOf(const std::vector<Box>& boxes, std::string_view type) {
    const auto found = std::find_if(boxes.begin(), boxes.end(),
                                    [&](const Box& box) { return box.type == type; });
    return found == boxes.end() ? std::string_view{} : found->payload;
}

Items itemsOf(std::string_view file) {
    Fields meta(lastMetaPayload(file));
    meta.fullBoxHeader();
    const std::vector<Box> parts = boxesIn(meta.rest());
    Items items;
    items.primary = primaryItem(payloadOf(parts, "pitm"));
    items.types = itemTypes(payloadOf(parts, "iinf"));
    readReferences(payloadOf(parts, "iref"), items);
    items.properties = itemProperties(payloadOf(parts, "iprp"));
    items.locations = itemLocations(payloadOf(parts, "iloc"));
    items.idat = payloadOf(parts, "idat");
    return items;
}

std::string itemData(std::string_view file, const Items& items, ItemID item) {
    const auto found = items.locations.find(item);
    if (found == items.locations.end()) return {};
    const ItemLocation& location = found->second;
    if (location.constructionMethod > 1) return {};
    const std::string_view source = location.constructionMethod == 0 ? file : items.idat;
    std::string data;
    for (const auto& [offset, length] : location.extents) {
        // Offsets past the source, or an extent longer than the whole file, hold nothing real.
        if (offset > source.size() || location.baseOffset > source.size() - offset) {
            throw Malformed{};
        }
        const std::uint64_t start = location.baseOffset + offset;
        // A length of zero reaches the end of the source.
        const std::uint64_t taken = length == 0 ? source.size() - start : length;
        if (taken > source.size() - start || data.size() + taken > file.size()) throw Malformed{};
        data.append(source.substr(start, taken));
    }
    return data;
}

}  // namespace quillmere::heif_boxes
