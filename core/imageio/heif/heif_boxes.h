#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// Reading a HEIF file's boxes without libheif, to learn what it holds before libheif is given it.
namespace quillmere::heif_boxes {

// Thrown when a box or a field runs past the end of what holds it: the file cannot be read.
struct Malformed {};

// Big-endian fields read in order from one payload.
class Fields {
  public:
    explicit Fields(std::string_view bytes) : bytes_(bytes) {}

    // A field of `count` bytes, at most eight.
    std::uint64_t read(std::uint64_t count);
    std::string_view take(std::uint64_t count);
    // A full box's version and flags.
    struct FullBoxHeader {
        std::uint64_t version;
        std::uint64_t flags;
    };
    FullBoxHeader fullBoxHeader();
    std::string_view rest() const { return bytes_; }

  private:
    std::string_view bytes_;
};

struct Box {
    std::string_view type;
    std::string_view payload;
};

// The boxes that fill `bytes`, in order.
std::vector<Box> boxesIn(std::string_view bytes);
// The payload of the first box of `type`, as libheif takes it; empty when there is none.
std::string_view payloadOf(const std::vector<Box>& boxes, std::string_view type);

using ItemID = std::uint64_t;

// Where an item's bytes lie: in the file (construction method 0) or in the 'idat' box (1).
struct ItemLocation {
    std::uint64_t constructionMethod = 0;
    std::uint64_t baseOffset = 0;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> extents;  // offset, length
};

// What the file's 'meta' box says of its items.
struct Items {
    ItemID primary = 0;
    std::map<ItemID, std::string_view> types;
    // References from an item to the items it names, in the file's order: 'dimg' from a derived
    // image to its inputs, 'auxl' from an auxiliary image (an alpha channel) to its image.
    std::multimap<ItemID, ItemID> derivedFrom;
    std::multimap<ItemID, ItemID> auxiliaryFor;
    // Each item's properties in the order it lists them.
    std::map<ItemID, std::vector<Box>> properties;
    std::map<ItemID, ItemLocation> locations;
    std::string_view idat;
};

// The items of the file's last 'meta' box, the one libheif reads. Throws Malformed.
Items itemsOf(std::string_view file);

// The item's bytes, its extents joined; empty when they lie where libheif does not read them.
// Throws Malformed when an extent runs past what holds it, or the extents add up to more than the
// file holds.
std::string itemData(std::string_view file, const Items& items, ItemID item);

}  // namespace quillmere::heif_boxes
