#include "reader/heif/heif_items.h"

#include <algorithm>
#include <limits>
#include <string>

#include "reader/heif/inflated_size.h"

namespace quillmere::heif {
namespace {

// libheif's own limits on what it reads; beyond them it fails.
constexpr std::uint64_t kMaxExtentsPerItem = 32;
constexpr std::uint64_t kMaxItemBytes = 512 * 1024 * 1024;
constexpr std::uint64_t kMaxFilePosition = 0x007FFFFFFFFFFFFF;

bool isImageType(std::string_view type) {
    return type == "hvc1" || type == "grid" || type == "iden" || type == "iovl" ||
           type == "av01" || type == "vvc1";
}

// libheif reads a field of 'iloc' only at these sizes, and reads nothing (a value of 0) for any
// other size the box declares.
std::uint64_t readSized(Fields& fields, std::uint64_t size) {
    return size == 4 || size == 8 ? fields.read(size) : 0;
}

constexpr std::uint64_t kSaturated = std::numeric_limits<std::uint64_t>::max();

std::uint64_t saturatingAdd(std::uint64_t a, std::uint64_t b) { return a > kSaturated - b ? kSaturated : a + b; }

void checkCount(std::uint64_t count, const std::string& what) {
    if (count > kMaxItems) {
        throw Items::Refused{"It holds " + std::to_string(count) + " " + what +
                             ", more than a photo holds."};
    }
}

// The one top-level 'meta' box among the boxes libheif can frame, which stops at the first box it
// cannot. libheif takes the last 'meta' box it parses whole and stops at the first it cannot
// parse: with two, which one it takes depends on how each parses, so a file holding two is not
// read at all.
std::string_view metaPayload(std::string_view file) {
    Fields fields(file);
    std::vector<std::string_view> metas;
    try {
        while (!fields.empty()) {
            const Box box = nextBox(fields);
            if (box.type == "meta") metas.push_back(box.payload);
        }
    } catch (const Malformed&) {
        // The boxes framed so far stand, as they do for libheif.
    }
    if (metas.size() > 1) throw Items::Ambiguous{};
    if (metas.empty()) throw Malformed{};
    return metas.front();
}

}  // namespace

Items Items::read(std::string_view file) {
    Fields meta(metaPayload(file));
    meta.fullBoxHeader();
    const std::vector<Box> parts = boxesIn(meta.rest());
    const Box* pitm = firstOf(parts, "pitm");
    const Box* iprp = firstOf(parts, "iprp");
    const Box* iloc = firstOf(parts, "iloc");
    const Box* iinf = firstOf(parts, "iinf");
    if (!pitm || !iprp || !iloc || !iinf) throw Malformed{};

    Items items;
    items.file_ = file;
    Fields pitmFields(pitm->payload);
    items.primary_ = static_cast<ItemID>(pitmFields.read(pitmFields.fullBoxHeader().version == 0 ? 2 : 4));

    items.readItemInfos(iinf->payload);
    items.readReferences(payloadOf(parts, "iref"));
    items.readLocations(iloc->payload);
    const std::vector<Box> properties = boxesIn(iprp->payload);
    const Box* ipco = firstOf(properties, "ipco");
    if (!ipco) throw Malformed{};
    items.ipco_ = boxesIn(ipco->payload);
    // libheif joins the entries of every 'ipma' box, in order.
    for (const Box& box : properties) {
        if (box.type == "ipma") items.readAssociations(box.payload);
    }
    if (const Box* idat = firstOf(parts, "idat")) {
        const auto start = static_cast<std::uint64_t>(idat->payload.data() - file.data());
        items.idat_.emplace(start, idat->payload.size() + idat->headerSize);
    }
    items.checkItemData();
    return items;
}

void Items::checkItemData() const {
    // A file fits in memory, so twice its size does not overflow.
    const std::uint64_t allowed = std::uint64_t{file_.size()} * kItemDataPerFileByte + kItemDataAllowance;
    std::uint64_t total = 0;
    for (const auto& entry : infos_) {
        total = saturatingAdd(total, saturatingAdd(namedBytesOf(entry.first), configurationBytesOf(entry.first)));
    }
    if (total > allowed) {
        throw Refused{"Its items name " + std::to_string(total) + " bytes of a file of " +
                      std::to_string(file_.size()) + "."};
    }
    // What libheif inflates comes on top, counted only as far as the bound.
    for (const auto& [item, info] : infos_) {
        if (!info.deflated) continue;
        try {
            total += inflatedSize(dataOf(item), allowed - total + 1);
        } catch (const Malformed&) {
            // libheif reads and inflates nothing of an item it cannot read.
        }
        if (total > allowed) {
            throw Refused{"Its items inflate to more than " + std::to_string(allowed) +
                          " bytes, in a file of " + std::to_string(file_.size()) + "."};
        }
    }
}

std::uint64_t Items::configurationBytesOf(ItemID item) const {
    const std::string_view type = typeOf(item);
    if (type != "hvc1" && type != "av01") return 0;
    const std::optional<Box> configuration = propertyOf(item, type == "hvc1" ? "hvcC" : "av1C");
    return configuration ? configuration->payload.size() : 0;
}

void Items::readItemInfos(std::string_view iinf) {
    Fields fields(iinf);
    const std::uint64_t count = fields.read(fields.fullBoxHeader().version == 0 ? 2 : 4);
    if (count == 0) return;  // libheif reads no entry then, whatever follows
    const std::vector<Box> entries = boxesIn(fields.rest());
    const auto itemCount = std::count_if(entries.begin(), entries.end(),
                                         [](const Box& entry) { return entry.type == "infe"; });
    checkCount(static_cast<std::uint64_t>(itemCount), "items");
    for (const Box& entry : entries) {
        if (entry.type != "infe") continue;
        Fields infe(entry.payload);
        const auto [version, flags] = infe.fullBoxHeader();
        Info info;
        ItemID id = 0;
        if (version <= 1) {
            id = static_cast<ItemID>(infe.read(2));
            infe.take(2);  // protection index
            for (int text = 0; text < 3; ++text) infe.takeString();  // name, content type, encoding
        } else {
            info.hidden = (flags & 1) != 0;
            id = static_cast<ItemID>(infe.read(version == 2 ? 2 : 4));
            infe.take(2);
            const std::string_view type = infe.take(4);
            if (type != std::string_view("\0\0\0\0", 4)) info.type = type;
            infe.takeString();
            if (type == "mime") {
                infe.takeString();  // content type
                info.deflated = infe.takeString() == "deflate";
            } else if (type == "uri ") {
                infe.takeString();
            }
        }
        infos_.emplace(id, info);  // the first entry of an item counts
    }
}

void Items::readAssociations(std::string_view ipma) {
    Fields fields(ipma);
    const auto [version, flags] = fields.fullBoxHeader();
    for (std::uint64_t entries = fields.read(4); entries > 0 && !fields.empty(); --entries) {
        const auto id = static_cast<ItemID>(fields.read(version < 1 ? 2 : 4));
        std::vector<Association> list;
        for (std::uint64_t count = fields.read(1); count > 0; --count) {
            // The top bit marks an essential property; the rest is its index in 'ipco', from 1.
            const bool wide = (flags & 1) != 0;
            const std::uint64_t value = fields.read(wide ? 2 : 1);
            const std::uint64_t essentialBit = wide ? 0x8000 : 0x80;
            list.push_back({value & (essentialBit - 1), (value & essentialBit) != 0});
        }
        associations_.emplace_back(id, std::move(list));
        checkCount(associations_.size(), "property associations");
    }
}

void Items::readReferences(std::string_view iref) {
    if (iref.empty()) return;
    Fields fields(iref);
    const std::uint64_t idSize = fields.fullBoxHeader().version == 0 ? 2 : 4;
    // libheif reads each reference's box header and then its fields straight on, whatever size
    // the header states.
    while (!fields.empty()) {
        Reference reference;
        const std::uint64_t size = fields.read(4);
        reference.type = fields.take(4);
        if (size == 1) fields.read(8);
        if (reference.type == "uuid") fields.take(16);
        reference.from = static_cast<ItemID>(fields.read(idSize));
        for (std::uint64_t count = fields.read(2); count > 0; --count) {
            reference.to.push_back(static_cast<ItemID>(fields.read(idSize)));
            if (fields.empty()) break;
        }
        references_.push_back(std::move(reference));
        checkCount(references_.size(), "references");
    }
}

void Items::readLocations(std::string_view iloc) {
    Fields fields(iloc);
    const std::uint64_t version = fields.fullBoxHeader().version;
    const std::uint64_t sizes = fields.read(2);
    const std::uint64_t offsetSize = sizes >> 12 & 0xF, lengthSize = sizes >> 8 & 0xF,
                        baseOffsetSize = sizes >> 4 & 0xF;
    const std::uint64_t indexSize = version > 1 ? sizes & 0xF : 0;
    const std::uint64_t count = fields.read(version < 2 ? 2 : 4);
    checkCount(count, "located items");
    for (std::uint64_t item = 0; item < count; ++item) {
        Location location;
        location.id = static_cast<ItemID>(fields.read(version < 2 ? 2 : 4));
        if (version >= 1) location.constructionMethod = fields.read(2) & 0xF;
        fields.take(2);  // data reference index
        location.baseOffset = readSized(fields, baseOffsetSize);
        const std::uint64_t extents = fields.read(2);
        if (extents > kMaxExtentsPerItem) throw Malformed{};
        for (std::uint64_t extent = 0; extent < extents; ++extent) {
            readSized(fields, indexSize);
            const std::uint64_t offset = readSized(fields, offsetSize);
            location.extents.push_back({offset, readSized(fields, lengthSize)});
        }
        locations_.push_back(std::move(location));
    }
}

std::vector<ItemID> Items::ids() const {
    std::vector<ItemID> ids;
    for (const auto& [id, info] : infos_) ids.push_back(id);
    return ids;
}

std::string_view Items::typeOf(ItemID item) const {
    const auto found = infos_.find(item);
    return found == infos_.end() ? std::string_view{} : found->second.type;
}

bool Items::isHidden(ItemID item) const {
    const auto found = infos_.find(item);
    return found != infos_.end() && found->second.hidden;
}

bool Items::isImage(ItemID item) const { return isImageType(typeOf(item)); }

std::vector<ItemID> Items::topLevelImages() const {
    std::vector<ItemID> images;
    for (const auto& entry : infos_) {
        const ItemID id = entry.first;
        const bool describesAnother =
            std::any_of(references_.begin(), references_.end(), [&](const Reference& reference) {
                return reference.from == id && (reference.type == "thmb" || reference.type == "auxl");
            });
        if (isImageType(entry.second.type) && !entry.second.hidden && !describesAnother) {
            images.push_back(id);
        }
    }
    return images;
}

std::vector<Box> Items::propertiesOf(ItemID item) const {
    const auto entry = std::find_if(associations_.begin(), associations_.end(),
                                    [&](const auto& candidate) { return candidate.first == item; });
    std::vector<Box> found;
    if (entry == associations_.end()) return found;
    for (const Association& association : entry->second) {
        if (association.index > ipco_.size()) throw Malformed{};
        if (association.index > 0) found.push_back(ipco_[association.index - 1]);
    }
    return found;
}

std::optional<Box> Items::propertyOf(ItemID item, std::string_view type) const {
    for (const Box& property : propertiesOf(item)) {
        if (property.type == type) return property;
    }
    return std::nullopt;
}

std::optional<PixelSize> Items::statedSize(ItemID item) const {
    std::optional<PixelSize> size;
    for (const Box& property : propertiesOf(item)) {
        if (property.type != "ispe") continue;
        Fields fields(property.payload);
        fields.fullBoxHeader();
        const std::uint64_t width = fields.read(4);
        size = PixelSize{width, fields.read(4)};
    }
    return size;
}

std::vector<ItemID> Items::referencesFrom(ItemID item, std::string_view type) const {
    for (const Reference& reference : references_) {
        if (reference.from == item && reference.type == type) return reference.to;
    }
    return {};
}

bool Items::hasReferenceFrom(ItemID item, std::string_view type) const {
    return std::any_of(references_.begin(), references_.end(), [&](const Reference& reference) {
        return reference.from == item && reference.type == type;
    });
}

std::vector<ItemID> Items::referencesTo(ItemID item, std::string_view type) const {
    std::vector<ItemID> from;
    for (const Reference& reference : references_) {
        if (reference.type == type && !reference.to.empty() && reference.to.front() == item &&
            std::find(from.begin(), from.end(), reference.from) == from.end()) {
            from.push_back(reference.from);
        }
    }
    return from;
}

const Items::Location* Items::locationOf(ItemID item) const {
    const auto found = std::find_if(locations_.begin(), locations_.end(),
                                    [&](const Location& location) { return location.id == item; });
    return found == locations_.end() ? nullptr : &*found;
}

std::vector<std::pair<std::uint64_t, std::uint64_t>> Items::spansOf(const Location& location) const {
    const std::string_view file = file_;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> spans;
    std::uint64_t total = 0;
    for (const Extent& extent : location.extents) {
        if (kMaxItemBytes - total < extent.length) throw Malformed{};
        if (location.constructionMethod == 0) {
            if (extent.offset > kMaxFilePosition || location.baseOffset > kMaxFilePosition ||
                extent.length > kMaxFilePosition) {
                throw Malformed{};
            }
            const std::uint64_t start = extent.offset + location.baseOffset;
            if (start + extent.length > file.size()) throw Malformed{};
            spans.emplace_back(start, extent.length);
        } else if (location.constructionMethod == 1) {
            if (!idat_) throw Malformed{};
            // libheif measures a read from 'idat' against the whole box, header included, and
            // adds the offsets as they come, wrapping as unsigned numbers do.
            const auto [dataStart, boxSize] = *idat_;
            const std::uint64_t start = extent.offset + location.baseOffset;
            if (start > dataStart + boxSize || extent.length > boxSize ||
                start + extent.length > boxSize || dataStart + start + extent.length > file.size()) {
                throw Malformed{};
            }
            spans.emplace_back(dataStart + start, extent.length);
        } else {
            throw Malformed{};
        }
        total += extent.length;
    }
    return spans;
}

std::string Items::dataOf(ItemID item) const {
    const Location* location = locationOf(item);
    if (!location) throw Malformed{};
    std::string data;
    for (const auto& [start, length] : spansOf(*location)) data.append(file_.substr(start, length));
    return data;
}

std::uint64_t Items::namedBytesOf(ItemID item) const {
    const Location* location = locationOf(item);
    std::uint64_t bytes = 0;
    if (location) {
        for (const Extent& extent : location->extents) bytes = saturatingAdd(bytes, extent.length);
    }
    return bytes;
}

}  // namespace quillmere::heif
