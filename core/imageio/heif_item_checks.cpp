#include "core/imageio/heif_item_checks.h"

#include <algorithm>
#include <map>
#include <vector>

#include "core/imageio/linear_image.h"

namespace quillmere {
namespace {

// Thrown inside this file when a box or a field runs past its end: the file is refused.
struct Malformed {};

// Big-endian fields read in order from one payload.
class Fields {
  public:
    explicit Fields(std::string_view bytes) : bytes_(bytes) {}

    std::uint64_t read(std::uint64_t count) {
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
    struct FullBoxHeader {
        std::uint64_t version;
        std::uint64_t flags;
    };
    FullBoxHeader fullBoxHeader() {
        const std::uint64_t version = read(1);
        return {version, read(3)};
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

// libheif takes the first box of a type.
std::string_view payloadOf(const std::vector<Box>& boxes, std::string_view type) {
    const auto found = std::find_if(boxes.begin(), boxes.end(),
                                    [&](const Box& box) { return box.type == type; });
    return found == boxes.end() ? std::string_view{} : found->payload;
}

// The item types libheif 1.15 decodes as images.
bool isImage(std::string_view type) {
    return type == "hvc1" || type == "av01" || type == "grid" || type == "iovl" || type == "iden";
}

using ItemID = std::uint64_t;

struct PixelSize {
    std::uint64_t width = 0;
    std::uint64_t height = 0;
};

// The meta box's parts that say which items there are, what they are drawn from and what size
// they state.
struct Items {
    ItemID primary = 0;
    std::map<ItemID, std::string_view> types;
    std::multimap<ItemID, ItemID> derivedFrom;  // 'dimg' references, from an item to its inputs
    std::map<ItemID, PixelSize> statedSizes;   // the first 'ispe' associated with each item
};

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

std::multimap<ItemID, ItemID> derivedImageInputs(std::string_view iref) {
    std::multimap<ItemID, ItemID> inputs;
    if (iref.empty()) return inputs;
    Fields fields(iref);
    const std::uint64_t idSize = fields.fullBoxHeader().version == 0 ? 2 : 4;
    for (const Box& reference : boxesIn(fields.rest())) {
        Fields ids(reference.payload);
        const ItemID from = ids.read(idSize);
        for (std::uint64_t count = ids.read(2); count > 0; --count) {
            const ItemID to = ids.read(idSize);
            if (reference.type == "dimg") inputs.emplace(from, to);
        }
    }
    return inputs;
}

std::map<ItemID, PixelSize> statedSizes(std::string_view iprp) {
    const std::vector<Box> parts = boxesIn(iprp);
    const std::vector<Box> properties = boxesIn(payloadOf(parts, "ipco"));
    std::map<ItemID, PixelSize> sizes;
    const std::string_view ipma = payloadOf(parts, "ipma");
    if (ipma.empty()) return sizes;
    Fields fields(ipma);
    const auto [version, flags] = fields.fullBoxHeader();
    for (std::uint64_t entries = fields.read(4); entries > 0; --entries) {
        const ItemID id = fields.read(version < 1 ? 2 : 4);
        for (std::uint64_t count = fields.read(1); count > 0; --count) {
            // The top bit marks an essential property; the rest is its index in 'ipco', from 1.
            const std::uint64_t index = (flags & 1) ? fields.read(2) & 0x7FFF : fields.read(1) & 0x7F;
            if (index == 0 || index > properties.size() || properties[index - 1].type != "ispe" ||
                sizes.contains(id)) {
                continue;
            }
            Fields ispe(properties[index - 1].payload);
            ispe.fullBoxHeader();
            const std::uint64_t width = ispe.read(4);
            sizes[id] = {width, ispe.read(4)};
        }
    }
    return sizes;
}

Items itemsOf(std::string_view file) {
    Fields meta(payloadOf(boxesIn(file), "meta"));
    meta.fullBoxHeader();
    const std::vector<Box> parts = boxesIn(meta.rest());
    return {primaryItem(payloadOf(parts, "pitm")), itemTypes(payloadOf(parts, "iinf")),
            derivedImageInputs(payloadOf(parts, "iref")), statedSizes(payloadOf(parts, "iprp"))};
}

std::optional<std::string> derivedFromNonImage(const Items& items) {
    for (const auto& [from, to] : items.derivedFrom) {
        const auto target = items.types.find(to);
        if (target == items.types.end() || !isImage(target->second)) {
            return "Its item " + std::to_string(from) + " is drawn from item " +
                   std::to_string(to) + ", which is not an image.";
        }
    }
    return std::nullopt;
}

// The primary image and every image it is drawn from; nothing when one of them is drawn, directly
// or through others, from itself, which would send libheif round in circles. A grid that names
// one tile for several places draws from it more than once, which is no circle.
std::optional<std::vector<ItemID>> primaryImageItems(const Items& items) {
    std::vector<ItemID> reached{items.primary};
    std::map<ItemID, std::uint64_t> users;  // how often each reached item is drawn from
    for (std::size_t next = 0; next < reached.size(); ++next) {
        const auto [first, last] = items.derivedFrom.equal_range(reached[next]);
        for (auto input = first; input != last; ++input) {
            if (users[input->second]++ == 0 && input->second != items.primary) {
                reached.push_back(input->second);
            }
        }
    }
    // Items are taken away from the top, once nothing left draws from them; an item on a circle
    // always keeps a user, and stays.
    std::vector<ItemID> unused{items.primary};
    if (users[items.primary] > 0) return std::nullopt;
    for (std::size_t taken = 0; taken < unused.size(); ++taken) {
        const auto [first, last] = items.derivedFrom.equal_range(unused[taken]);
        for (auto input = first; input != last; ++input) {
            if (--users[input->second] == 0) unused.push_back(input->second);
        }
    }
    if (unused.size() != reached.size()) return std::nullopt;
    return reached;
}

std::string sizeText(const PixelSize& size) {
    return std::to_string(size.width) + " × " + std::to_string(size.height);
}

}  // namespace

HeifItemChecks checkHeifItems(std::string_view file) {
    HeifItemChecks checks;
    try {
        const Items items = itemsOf(file);
        if ((checks.fault = derivedFromNonImage(items))) return checks;
        const std::optional<std::vector<ItemID>> used = primaryImageItems(items);
        if (!used) {
            checks.fault = "Its image is drawn from itself.";
            return checks;
        }
        for (const ItemID item : *used) {
            const auto stated = items.statedSizes.find(item);
            if (stated == items.statedSizes.end()) {
                checks.fault = "Its item " + std::to_string(item) + " states no size.";
                return checks;
            }
            const PixelSize size = stated->second;
            if (size.width == 0 || size.height == 0) {
                checks.fault = "Its item " + std::to_string(item) + " states a size of " +
                               sizeText(size) + " pixels.";
                return checks;
            }
            if (size.width * size.height > LinearImage::maxPixelCount) {
                checks.fault = "One of its images states " + sizeText(size) +
                               " pixels, more than a photo may have.";
                return checks;
            }
            checks.longestStatedSide = std::max({checks.longestStatedSide, size.width, size.height});
        }
    } catch (const Malformed&) {
        checks.fault = "Its boxes cannot be read.";
    }
    return checks;
}

}  // namespace quillmere
