#include "core/imageio/heif/heif_item_checks.h"

#include <algorithm>
#include <map>
#include <vector>

#include "core/imageio/heif/heif_boxes.h"
#include "core/imageio/heif/hevc_picture_size.h"
#include "core/imageio/linear_image.h"

namespace quillmere {
namespace {

using heif_boxes::Box;
using heif_boxes::ItemID;
using heif_boxes::Items;

struct PixelSize {
    std::uint64_t width = 0;
    std::uint64_t height = 0;
};

std::string sizeText(const PixelSize& size) {
    return std::to_string(size.width) + " × " + std::to_string(size.height);
}

// The item types libheif 1.15 decodes as images.
bool isImage(std::string_view type) {
    return type == "hvc1" || type == "av01" || type == "grid" || type == "iovl" || type == "iden";
}

std::string_view typeOf(const Items& items, ItemID item) {
    const auto found = items.types.find(item);
    return found == items.types.end() ? std::string_view{} : found->second;
}

std::optional<std::string> derivedFromNonImage(const Items& items) {
    for (const auto& [from, to] : items.derivedFrom) {
        if (!isImage(typeOf(items, to))) {
            return "Its item " + std::to_string(from) + " is drawn from item " +
                   std::to_string(to) + ", which is not an image.";
        }
    }
    return std::nullopt;
}

// `root` and every image it is drawn from; nothing when one of them is drawn, directly or through
// others, from itself, which would send libheif round in circles. A grid that names one tile for
// several places draws from it more than once, which is no circle.
std::optional<std::vector<ItemID>> drawnFrom(const Items& items, ItemID root) {
    std::vector<ItemID> reached{root};
    std::map<ItemID, std::uint64_t> users;  // how often each reached item is drawn from
    for (std::size_t next = 0; next < reached.size(); ++next) {
        const auto [first, last] = items.derivedFrom.equal_range(reached[next]);
        for (auto input = first; input != last; ++input) {
            if (users[input->second]++ == 0 && input->second != root) {
                reached.push_back(input->second);
            }
        }
    }
    // Items are taken away from the top, once nothing left draws from them; an item on a circle
    // always keeps a user, and stays.
    if (users[root] > 0) return std::nullopt;
    std::vector<ItemID> unused{root};
    for (std::size_t taken = 0; taken < unused.size(); ++taken) {
        const auto [first, last] = items.derivedFrom.equal_range(unused[taken]);
        for (auto input = first; input != last; ++input) {
            if (--users[input->second] == 0) unused.push_back(input->second);
        }
    }
    if (unused.size() != reached.size()) return std::nullopt;
    return reached;
}

// The items libheif decodes for the primary image: the image, the images it is drawn from (grid
// tiles, overlay inputs, the source of an identity-derived image), and the auxiliary images (an
// alpha channel) of any of them, with what those are drawn from. Nothing for a circle.
std::optional<std::vector<ItemID>> decodedItems(const Items& items) {
    std::optional<std::vector<ItemID>> decoded = drawnFrom(items, items.primary);
    for (std::size_t next = 0; decoded && next < decoded->size(); ++next) {
        for (const auto& [auxiliary, image] : items.auxiliaryFor) {
            if (image != (*decoded)[next] ||
                std::find(decoded->begin(), decoded->end(), auxiliary) != decoded->end()) {
                continue;
            }
            const std::optional<std::vector<ItemID>> more = drawnFrom(items, auxiliary);
            if (!more) return std::nullopt;
            for (const ItemID item : *more) {
                if (std::find(decoded->begin(), decoded->end(), item) == decoded->end()) {
                    decoded->push_back(item);
                }
            }
        }
    }
    return decoded;
}

std::optional<Box> propertyOf(const Items& items, ItemID item, std::string_view type) {
    const auto found = items.properties.find(item);
    if (found == items.properties.end()) return std::nullopt;
    for (const Box& property : found->second) {
        if (property.type == type) return property;
    }
    return std::nullopt;
}

std::optional<PixelSize> statedSize(const Items& items, ItemID item) {
    const std::optional<Box> ispe = propertyOf(items, item, "ispe");
    if (!ispe) return std::nullopt;
    heif_boxes::Fields fields(ispe->payload);
    fields.fullBoxHeader();
    const std::uint64_t width = fields.read(4);
    return PixelSize{width, fields.read(4)};
}

// The canvas a grid ('grid') or an overlay ('iovl') is drawn on, from its data: after the version
// and flags (whose lowest bit makes the sizes 32-bit), a grid's rows and columns, an overlay's fill
// colour.
std::optional<PixelSize> canvasOf(std::string_view data, bool isGrid) {
    heif_boxes::Fields fields(data);
    fields.take(1);
    const std::uint64_t sizeBytes = (fields.read(1) & 1) ? 4 : 2;
    fields.take(isGrid ? 2 : 8);
    const std::uint64_t width = fields.read(sizeBytes);
    return PixelSize{width, fields.read(sizeBytes)};
}

// The largest picture an HEVC item's parameter sets declare, in its configuration or in its own
// data, where a decoder takes them too; nothing when none can be read.
std::optional<PixelSize> codedPictureOf(const Items& items, ItemID item, std::string_view data) {
    namespace hevc = hevc_picture_size;
    const std::optional<Box> hvcC = propertyOf(items, item, "hvcC");
    const std::optional<hevc::Configuration> configuration =
        hvcC ? hevc::configurationOf(hvcC->payload) : std::nullopt;
    if (!configuration) return std::nullopt;
    std::vector<std::string_view> units = configuration->units;
    if (const auto inData = hevc::unitsOf(data, configuration->lengthSize)) {
        units.insert(units.end(), inData->begin(), inData->end());
    }
    std::optional<PixelSize> largest;
    for (const std::string_view unit : units) {
        if (const std::optional<hevc::CodedSize> coded = hevc::ofParameterSet(unit)) {
            largest = PixelSize{std::max(coded->width, largest ? largest->width : 0),
                                std::max(coded->height, largest ? largest->height : 0)};
        }
    }
    return largest;
}

// Whether a picture of `actual` pixels fits the size an item states, padded to `block`, with the
// sides as stated or exchanged (some cameras state the size as displayed after a rotation).
bool fits(const PixelSize& actual, const PixelSize& stated, std::uint64_t block) {
    const auto padded = [&](std::uint64_t side) { return (side + block - 1) / block * block; };
    return (actual.width <= padded(stated.width) && actual.height <= padded(stated.height)) ||
           (actual.width <= padded(stated.height) && actual.height <= padded(stated.width));
}

// Why an item of the primary image must not be decoded; nothing when it may be.
std::optional<std::string> faultOf(std::string_view file, const Items& items, ItemID item) {
    const std::string name = "Its item " + std::to_string(item);
    const std::optional<PixelSize> stated = statedSize(items, item);
    if (!stated) return name + " states no size.";
    if (stated->width == 0 || stated->height == 0) {
        return name + " states a size of " + sizeText(*stated) + " pixels.";
    }
    if (stated->width * stated->height > LinearImage::maxPixelCount) {
        return name + " states " + sizeText(*stated) + " pixels, more than a photo may have.";
    }
    // libheif makes the picture, grid or overlay canvas at the size it finds in the item, not at
    // the size the item states: none may be larger. A coded picture may pad to whole blocks.
    const std::string_view type = typeOf(items, item);
    std::optional<PixelSize> actual;
    std::uint64_t block = 1;
    if (type == "grid" || type == "iovl") {
        actual = canvasOf(heif_boxes::itemData(file, items, item), type == "grid");
    } else if (type == "hvc1") {
        actual = codedPictureOf(items, item, heif_boxes::itemData(file, items, item));
        block = 64;
    }
    if (actual && !fits(*actual, *stated, block)) {
        return name + " holds a picture of " + sizeText(*actual) + " pixels, larger than the " +
               sizeText(*stated) + " it states.";
    }
    return std::nullopt;
}

}  // namespace

HeifItemChecks checkHeifItems(std::string_view file) {
    HeifItemChecks checks;
    try {
        const Items items = heif_boxes::itemsOf(file);
        if ((checks.fault = derivedFromNonImage(items))) return checks;
        const std::optional<std::vector<ItemID>> decoded = decodedItems(items);
        if (!decoded) {
            checks.fault = "Its image is drawn from itself.";
            return checks;
        }
        for (const ItemID item : *decoded) {
            if ((checks.fault = faultOf(file, items, item))) return checks;
            const PixelSize stated = *statedSize(items, item);
            checks.longestStatedSide = std::max({checks.longestStatedSide, stated.width, stated.height});
        }
    } catch (const heif_boxes::Malformed&) {
        checks.fault = "Its boxes cannot be read.";
    }
    return checks;
}

}  // namespace quillmere
