#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "reader/heif/heif_boxes.h"

// The items a HEIF file's 'meta' box describes, read field by field as libheif 1.15 reads them,
// down to its choices where a file says a thing twice: the first 'infe' of an item, the first
// 'iloc' entry, the first 'ipma' entry, the last 'ispe' property, the first reference of a type.
// What the checks measure is then what libheif decodes.
namespace quillmere::heif {

using ItemID = std::uint32_t;

struct PixelSize {
    std::uint64_t width = 0;
    std::uint64_t height = 0;
    std::uint64_t count() const { return width * height; }
    bool operator==(const PixelSize&) const = default;
};

// The most items, and references between them, a photo holds: a phone's photo holds a grid of a
// few dozen tiles, a thumbnail, metadata and auxiliary images; the largest grids of tiles hold some
// hundreds. libheif 1.15 reads items in a time that grows with their square, and later releases
// refuse a file of more.
inline constexpr std::uint64_t kMaxItems = 1000;

// libheif reads the data of every item when it reads the file, whatever is decoded later: what
// its extents name, a coded picture's configuration before it, and what a compressed item inflates
// to. The items of a real file add up to at most the file (a thumbnail and its photo share
// nothing), so they may come to at most twice its bytes, and a little more for a small file.
inline constexpr std::uint64_t kItemDataPerFileByte = 2;
inline constexpr std::uint64_t kItemDataAllowance = 64 * 1024;

class Items {
  public:
    // Reads the items of the file's one 'meta' box. Throws Malformed when the boxes cannot be read
    // as libheif reads them; with more than one top-level 'meta' box the file is Ambiguous. Throws
    // Refused when it holds more items, located items, property associations or references than
    // kMaxItems, or its items come to more bytes than the item-data bound allows: every read of an
    // item's data goes through Items, and so is held to that bound.
    static Items read(std::string_view file);
    struct Ambiguous {};
    struct Refused {
        std::string sentence;
    };

    ItemID primary() const { return primary_; }
    // Every item with an 'infe', in the order of their IDs.
    std::vector<ItemID> ids() const;
    // The item's type ("hvc1", "grid", "Exif", ...); empty for an item without one.
    std::string_view typeOf(ItemID item) const;
    bool isHidden(ItemID item) const;
    // libheif's images: items of a coded or derived image type.
    bool isImage(ItemID item) const;
    // The images libheif lists as the file's own, in the order of their IDs: neither hidden, nor
    // the thumbnail or auxiliary image (an alpha channel, a depth map) of another.
    std::vector<ItemID> topLevelImages() const;

    // The item's properties in the order its first 'ipma' entry lists them (index 0, "none",
    // skipped). Throws Malformed for an index beyond 'ipco', which libheif refuses for an image.
    std::vector<Box> propertiesOf(ItemID item) const;
    // The first property of `type` among them.
    std::optional<Box> propertyOf(ItemID item, std::string_view type) const;
    // The size its last 'ispe' states, which libheif takes; nothing without one.
    std::optional<PixelSize> statedSize(ItemID item) const;

    // The items the first `type` reference from `item` names, in order, repeats kept.
    std::vector<ItemID> referencesFrom(ItemID item, std::string_view type) const;
    // Whether any `type` reference comes from `item`, naming items or not.
    bool hasReferenceFrom(ItemID item, std::string_view type) const;
    // The items that name `item` in a reference of `type`.
    std::vector<ItemID> referencesTo(ItemID item, std::string_view type) const;

    // The item's bytes as libheif reads them from its first 'iloc' entry, from the file the items
    // were read from. Throws Malformed where libheif fails to read them.
    std::string dataOf(ItemID item) const;

  private:
    struct Info {
        std::string_view type;
        bool hidden = false;
        bool deflated = false;  // a 'mime' item whose content libheif inflates
    };
    struct Association {
        std::uint64_t index = 0;
        bool essential = false;
    };
    struct Reference {
        std::string_view type;
        ItemID from = 0;
        std::vector<ItemID> to;
    };
    struct Extent {
        std::uint64_t offset = 0;
        std::uint64_t length = 0;
    };
    struct Location {
        ItemID id = 0;
        std::uint64_t constructionMethod = 0;
        std::uint64_t baseOffset = 0;
        std::vector<Extent> extents;
    };

    void readItemInfos(std::string_view iinf);
    void readAssociations(std::string_view ipma);
    void readReferences(std::string_view iref);
    void readLocations(std::string_view iloc);
    void checkItemData() const;
    const Location* locationOf(ItemID item) const;
    // Where each extent's bytes lie in the file: offset and length; Malformed where libheif fails.
    std::vector<std::pair<std::uint64_t, std::uint64_t>> spansOf(const Location& location) const;
    // How many bytes the extents of the item's first 'iloc' entry name, whether or not they can be
    // read: libheif reads an item's extents one after another until one fails.
    std::uint64_t namedBytesOf(ItemID item) const;
    // How many bytes of its configuration ('hvcC', 'av1C') libheif puts before a coded picture's
    // data, at most: it reads each item's data with them, though the items share the property.
    std::uint64_t configurationBytesOf(ItemID item) const;

    std::string_view file_;
    ItemID primary_ = 0;
    std::map<ItemID, Info> infos_;
    std::vector<Box> ipco_;
    std::vector<std::pair<ItemID, std::vector<Association>>> associations_;
    std::vector<Reference> references_;
    std::vector<Location> locations_;
    // The 'idat' box: where its payload starts in the file, and its whole size, header included,
    // which is what libheif measures reads from it against.
    std::optional<std::pair<std::uint64_t, std::uint64_t>> idat_;
};

}  // namespace quillmere::heif
