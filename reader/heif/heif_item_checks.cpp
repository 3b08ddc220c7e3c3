#include "reader/heif/heif_item_checks.h"

#include <algorithm>
#include <array>
#include <limits>
#include <map>
#include <vector>

#include "reader/heif/av1_picture_size.h"
#include "reader/heif/hevc_picture_size.h"
#include "core/imageio/linear_image.h"

namespace quillmere::heif {
namespace {

constexpr std::uint64_t kSaturated = std::numeric_limits<std::uint64_t>::max();
// A coded picture may be padded to whole blocks beyond the size its item states.
constexpr std::uint64_t kCodedBlock = 64;

constexpr std::array<std::string_view, 3> kAlphaTypes{
    "urn:mpeg:avc:2015:auxid:1", "urn:mpeg:hevc:2015:auxid:1",
    "urn:mpeg:mpegB:cicp:systems:auxiliary:alpha"};

std::uint64_t saturatingAdd(std::uint64_t a, std::uint64_t b) {
    return a > kSaturated - b ? kSaturated : a + b;
}
std::uint64_t saturatingMultiply(std::uint64_t a, std::uint64_t b) {
    return b != 0 && a > kSaturated / b ? kSaturated : a * b;
}

std::string sizeText(const PixelSize& size) {
    return std::to_string(size.width) + " × " + std::to_string(size.height);
}
std::string itemName(ItemID item) { return "Its item " + std::to_string(item); }

bool isDerived(std::string_view type) { return type == "grid" || type == "iovl" || type == "iden"; }
bool isCoded(std::string_view type) { return type == "hvc1" || type == "av01"; }

// Whether `item` is an alpha channel, by its last 'auxC' property, as libheif takes it.
bool isAlpha(const Items& items, ItemID item) {
    std::string_view type;
    for (const Box& property : items.propertiesOf(item)) {
        if (property.type != "auxC") continue;
        Fields fields(property.payload);
        fields.fullBoxHeader();
        type = fields.takeString();
    }
    return std::find(kAlphaTypes.begin(), kAlphaTypes.end(), type) != kAlphaTypes.end();
}

// The images libheif decodes to make `item`, each as often as it is used: the inputs a derived
// image names in its first 'dimg' reference, and the alpha channels of the image.
std::vector<ItemID> inputsOf(const Items& items, ItemID item) {
    std::vector<ItemID> inputs;
    if (isDerived(items.typeOf(item))) inputs = items.referencesFrom(item, "dimg");
    for (const ItemID auxiliary : items.referencesTo(item, "auxl")) {
        if (items.isImage(auxiliary) && isAlpha(items, auxiliary)) inputs.push_back(auxiliary);
    }
    return inputs;
}

struct DecodePlan {
    std::vector<ItemID> order;                 // every item decoded, the primary first
    std::map<ItemID, std::uint64_t> uses;      // how often each is made
    std::optional<std::string> fault;
};

// Why libheif must not be given `item` to decode, as one of the images it makes for the primary
// image: it is predicted from another picture, which libheif 1.15 leaves out (it would decode a
// plain grey picture), or it is a picture of a kind the program has no decoder for.
std::optional<std::string> undecodableFault(const Items& items, ItemID item) {
    if (items.hasReferenceFrom(item, "pred")) {
        const std::vector<ItemID> from = items.referencesFrom(item, "pred");
        return itemName(item) + " is predicted from " +
               (from.empty() ? std::string("another picture") : "item " + std::to_string(from.front())) +
               ", and cannot be decoded on its own.";
    }
    const std::string_view type = items.typeOf(item);
    if (!isCoded(type) && !isDerived(type)) {
        return itemName(item) + " is a picture of a kind this program does not decode ('" +
               std::string(type) + "').";
    }
    return std::nullopt;
}

// The items decoded for the primary image and how often each is made, or why libheif must not be
// given them: an input that is not an image, an image libheif cannot truly decode, an image drawn,
// directly or through others, from itself (which would send libheif round in circles), or images
// derived from images more levels deep than kMaxDerivationDepth.
DecodePlan planDecoding(const Items& items) {
    DecodePlan plan;
    std::map<ItemID, std::vector<ItemID>> inputs;
    std::map<ItemID, std::uint64_t> users;
    plan.order.push_back(items.primary());
    for (std::size_t next = 0; next < plan.order.size(); ++next) {
        const ItemID item = plan.order[next];
        if ((plan.fault = undecodableFault(items, item))) return plan;
        inputs[item] = inputsOf(items, item);
        for (const ItemID input : inputs[item]) {
            if (!items.isImage(input)) {
                plan.fault = itemName(item) + " is drawn from item " + std::to_string(input) +
                             ", which is not an image.";
                return plan;
            }
            if (users[input]++ == 0 && input != items.primary()) plan.order.push_back(input);
        }
    }
    // Counted from the top: an item is made as often as the items drawn from it are, once every
    // item drawn from it is counted, and lies one level below the deepest of them. An item on a
    // circle is never counted.
    std::vector<ItemID> ready;
    std::map<ItemID, std::uint64_t> depth;
    if (users[items.primary()] == 0) {
        ready.push_back(items.primary());
        plan.uses[items.primary()] = 1;
    }
    std::size_t counted = 0;
    while (!ready.empty()) {
        const ItemID item = ready.back();
        ready.pop_back();
        ++counted;
        if (depth[item] > kMaxDerivationDepth) {
            plan.fault = "Its image is derived from images " + std::to_string(depth[item]) +
                         " levels deep, more than a photo is.";
            return plan;
        }
        for (const ItemID input : inputs[item]) {
            plan.uses[input] = saturatingAdd(plan.uses[input], plan.uses[item]);
            depth[input] = std::max(depth[input], depth[item] + 1);
            if (--users[input] == 0) ready.push_back(input);
        }
    }
    if (counted != plan.order.size()) plan.fault = "Its image is drawn from itself.";
    return plan;
}

// The canvas a grid ('grid') or an overlay ('iovl') is drawn on, from its data as libheif reads
// it: after the version and flags (whose lowest bit makes the sizes 32-bit), a grid's rows and
// columns, an overlay's fill colour.
std::optional<PixelSize> canvasOf(std::string_view data, bool isGrid) {
    try {
        Fields fields(data);
        fields.take(1);
        const std::uint64_t sizeBytes = (fields.read(1) & 1) ? 4 : 2;
        fields.take(isGrid ? 2 : 8);
        const std::uint64_t width = fields.read(sizeBytes);
        return PixelSize{width, fields.read(sizeBytes)};
    } catch (const Malformed&) {
        return std::nullopt;  // libheif refuses it before making anything
    }
}

// Whether a picture of `actual` pixels fits the size an item states, padded to `block`, with the
// sides as stated or exchanged (some cameras state the size as displayed after a rotation).
bool fits(const PixelSize& actual, const PixelSize& stated, std::uint64_t block) {
    const auto padded = [&](std::uint64_t side) { return (side + block - 1) / block * block; };
    return (actual.width <= padded(stated.width) && actual.height <= padded(stated.height)) ||
           (actual.width <= padded(stated.height) && actual.height <= padded(stated.width));
}

// What making one item costs and what its decoder is given.
struct ItemMeasure {
    std::uint64_t pixels = 0;      // the picture or canvas made
    std::uint64_t codedBytes = 0;  // the bytes of coded data its decoder decodes
    std::uint64_t leftOutBytes = 0;  // the bytes of coded data its decoder leaves out
    std::optional<std::string> fault;
};

ItemMeasure measure(const Items& items, ItemID item, const PixelSize& stated) {
    ItemMeasure result;
    const std::string_view type = items.typeOf(item);
    if (type == "iden") {
        // libheif makes the picture of its input anew, turned or cropped as the item says.
        result.pixels = stated.count();
        return result;
    }
    std::optional<PixelSize> actual;
    std::uint64_t block = 1;
    if (type == "grid" || type == "iovl") {
        actual = canvasOf(items.dataOf(item), type == "grid");
        if (!actual) return result;
    } else {  // a coded picture: planDecoding refuses every other kind
        const bool hevc = type == "hvc1";
        const std::optional<Box> configuration = items.propertyOf(item, hevc ? "hvcC" : "av1C");
        const std::string data = items.dataOf(item);
        if (configuration && hevc) {
            actual = hevc_picture_size::largestPicture(configuration->payload, data);
            const auto slices = hevc_picture_size::codedSliceBytes(configuration->payload, data)
                                    .value_or(hevc_picture_size::SliceBytes{});
            result.codedBytes = slices.decoded;
            result.leftOutBytes = slices.leftOut;
        } else if (configuration) {
            const std::optional<std::string_view> obus =
                av1_picture_size::configurationObus(configuration->payload);
            if (obus) {
                const std::string stream = std::string(*obus) + data;
                actual = av1_picture_size::largestFrame(stream);
                const auto tiles = av1_picture_size::codedTileBytes(stream).value_or(
                    av1_picture_size::TileBytes{});
                result.codedBytes = tiles.decoded;
                result.leftOutBytes = tiles.leftOut;
            }
        }
        if (!actual) {
            result.fault = itemName(item) + " holds a picture whose size cannot be read.";
            return result;
        }
        block = kCodedBlock;
    }
    if (!fits(*actual, stated, block)) {
        result.fault = itemName(item) + " holds a picture of " + sizeText(*actual) +
                       " pixels, larger than the " + sizeText(stated) + " it states.";
    }
    result.pixels = std::max(actual->count(), stated.count());
    return result;
}

std::optional<std::string> statedSizeFault(ItemID item, const std::optional<PixelSize>& stated) {
    if (!stated) return itemName(item) + " states no size.";
    if (stated->width == 0 || stated->height == 0) {
        return itemName(item) + " states a size of " + sizeText(*stated) + " pixels.";
    }
    if (saturatingMultiply(stated->width, stated->height) >
        static_cast<std::uint64_t>(LinearImage::maxPixelCount)) {
        return itemName(item) + " states " + sizeText(*stated) + " pixels, more than a photo may have.";
    }
    return std::nullopt;
}

}  // namespace

HeifItemChecks checkHeifItems(const Items& items) {
    HeifItemChecks checks;
    try {
        const DecodePlan plan = planDecoding(items);
        if ((checks.fault = plan.fault)) return checks;
        std::uint64_t pixels = 0, codedBytes = 0, leftOutBytes = 0, pictures = 0;
        for (const ItemID item : plan.order) {
            const std::optional<PixelSize> stated = items.statedSize(item);
            if ((checks.fault = statedSizeFault(item, stated))) return checks;
            const ItemMeasure made = measure(items, item, *stated);
            if ((checks.fault = made.fault)) return checks;
            pixels = saturatingAdd(pixels, saturatingMultiply(made.pixels, plan.uses.at(item)));
            if (isCoded(items.typeOf(item))) pictures = saturatingAdd(pictures, plan.uses.at(item));
            codedBytes = saturatingAdd(codedBytes, made.codedBytes);
            leftOutBytes = saturatingAdd(leftOutBytes, made.leftOutBytes);
            checks.longestStatedSide =
                std::max({checks.longestStatedSide, stated->width, stated->height});
        }
        checks.pictures = pictures;
        checks.madePixels = pixels;
        checks.codedBytes = codedBytes;
        if (pixels > saturatingMultiply(codedBytes, kMadePixelsPerCodedByte)) {
            checks.fault = "Its image would make " + std::to_string(pixels) + " pixels from " +
                           std::to_string(codedBytes) + " bytes of image data" +
                           (leftOutBytes == 0 ? std::string(".")
                                              : "; its decoder leaves out another " +
                                                    std::to_string(leftOutBytes) + " bytes.");
        }
    } catch (const Malformed&) {
        checks.fault = "Its boxes cannot be read.";
    }
    return checks;
}

}  // namespace quillmere::heif
