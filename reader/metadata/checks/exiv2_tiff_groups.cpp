#include "reader/metadata/checks/exiv2_tiff_groups.h"

#include <algorithm>
#include <initializer_list>
#include <optional>

namespace quillmere::metadata {
namespace {

using G = TiffGroup;
using K = TiffComponentKind;

template <class T>
bool isOneOf(T value, std::initializer_list<T> values) {
    return std::find(values.begin(), values.end(), value) != values.end();
}

bool inRange(G group, G first, G last) { return group >= first && group <= last; }

// Groups whose every entry is a binary array element.
bool isElementGroup(G group) {
    return isOneOf(group, {G::canonCs,       G::canonSi,      G::canonPa,        G::canonCf,
                           G::canonPi,       G::canonTi,      G::canonFi,        G::canonPr,
                           G::samsungPw,     G::sony2010e,    G::sony1Cs,        G::sony1Cs2,
                           G::sony2Fp,       G::sony2Cs,      G::sony2Cs2,       G::sony1MltCsOld,
                           G::sony1MltCsNew, G::sony1MltCs7D, G::sony1MltCsA100, G::minoltaCsOld,
                           G::minoltaCsNew,  G::minoltaCs7D,  G::minoltaCs5D}) ||
           inRange(group, G::nikonVr, G::nikonCb4);
}

// Groups of plain entries whose next-directory offset Exiv2 ignores.
bool isEntryGroupWithoutNext(G group) {
    return inRange(group, G::subImage1, G::subThumb1) || inRange(group, G::exif, G::iop) ||
           isOneOf(group,
                   {G::ifd3,    G::panaRaw,  G::olympus,   G::olympus2, G::fuji,      G::canon,
                    G::nikon1,  G::nikon2,   G::nikon3,    G::nikonPv,  G::panasonic, G::pentaxDng,
                    G::pentax,  G::samsung2, G::samsungPv, G::sigma,    G::sony1,     G::sony2,
                    G::sonyMlt, G::minolta,  G::casio});
}

// Groups of plain entries whose next-directory offset Exiv2 reads as one more entry. The last
// group is Exiv2's group of entries it reads but never decodes.
bool isEntryGroupWithNextEntry(G group) {
    return inRange(group, G::olympusCs, G::olympusRi) || group == G::casio2 || group == G::last;
}

TiffComponentRule rule(K kind) { return {kind, G::notSet, 0, G::notSet}; }
TiffComponentRule subDirectory(G group) { return {K::subDirectory, group, 0, G::notSet}; }
TiffComponentRule paired(K kind, std::uint16_t partner, G group) {
    return {kind, G::notSet, partner, group};
}

// Offsets and sizes of strips, tiles or JPEG data that Exiv2 keeps as pointers.
std::optional<TiffComponentRule> imageStrips(std::uint16_t tag, G group, bool withTiles = true) {
    switch (tag) {
        case 0x0111:
            return paired(K::imageData, 0x0117, group);
        case 0x0117:
            return paired(K::imageSize, 0x0111, group);
        case 0x0201:
            return paired(K::imageData, 0x0202, group);
        case 0x0202:
            return paired(K::imageSize, 0x0201, group);
        case 0x0144:
            return withTiles ? std::optional(paired(K::imageData, 0x0145, group)) : std::nullopt;
        case 0x0145:
            return withTiles ? std::optional(paired(K::imageSize, 0x0144, group)) : std::nullopt;
        default:
            return std::nullopt;
    }
}

// A thumbnail whose bytes Exiv2 copies, named by an offsets tag and a sizes tag.
std::optional<TiffComponentRule> thumbnail(std::uint16_t tag, std::uint16_t dataTag,
                                           std::uint16_t sizeTag, G group) {
    if (tag == dataTag) return paired(K::thumbnailData, sizeTag, group);
    if (tag == sizeTag) return paired(K::thumbnailSize, dataTag, group);
    return std::nullopt;
}

std::optional<TiffComponentRule> specialComponent(std::uint16_t tag, G group) {
    switch (group) {
        case G::ifd0:
            if (tag == 0x8769) return subDirectory(G::exif);
            if (tag == 0x8825) return subDirectory(G::gps);
            if (tag == 0x014a) return subDirectory(G::subImage1);
            if (tag == 0xc634) return rule(K::makernote);
            return imageStrips(tag, group);
        case G::exif:
            if (tag == 0xa005) return subDirectory(G::iop);
            if (tag == 0x927c) return rule(K::makernote);
            return std::nullopt;
        case G::ifd1:
            if (tag == 0x014a) return subDirectory(G::subThumb1);
            if (auto thumb = thumbnail(tag, 0x0111, 0x0117, group)) return thumb;
            if (auto thumb = thumbnail(tag, 0x0201, 0x0202, group)) return thumb;
            return imageStrips(tag, group);
        // Exiv2's table files the tiles of these two directories under IFD1, so theirs are values.
        case G::ifd2:
        case G::ifd3:
            return imageStrips(tag, group, false);
        case G::panaRaw:
            if (tag == 0x8769) return subDirectory(G::exif);
            if (tag == 0x8825) return subDirectory(G::gps);
            return std::nullopt;
        case G::olympus:
            return tag == 0x0001 || tag == 0x0003 ? std::optional(rule(K::binaryArray))
                                                  : std::nullopt;
        case G::olympus2:
            if (tag == 0x0001 || tag == 0x0003) return rule(K::binaryArray);
            if (tag == 0x2010) return subDirectory(G::olympusEq);
            if (tag == 0x2020) return subDirectory(G::olympusCs);
            if (tag == 0x2030) return subDirectory(G::olympusRd);
            if (tag == 0x2031) return subDirectory(G::olympusRd2);
            if (tag == 0x2040) return subDirectory(G::olympusIp);
            if (tag == 0x2050) return subDirectory(G::olympusFi);
            if (tag >= 0x2100 && tag <= 0x2900 && (tag & 0x00ff) == 0) {
                return subDirectory(
                    static_cast<G>(static_cast<int>(G::olympusFe1) + (tag >> 8) - 0x21));
            }
            if (tag == 0x3000) return subDirectory(G::olympusRi);
            return std::nullopt;
        case G::olympusCs:
            if (tag == 0x0101) return paired(K::imageData, 0x0102, group);
            if (tag == 0x0102) return paired(K::imageSize, 0x0101, group);
            return std::nullopt;
        case G::fuji:
            return tag == 0xf000 ? std::optional(subDirectory(G::fuji)) : std::nullopt;
        case G::canon:
            return isOneOf<std::uint16_t>(
                       tag, {0x0001, 0x0004, 0x0005, 0x000f, 0x0012, 0x0035, 0x0093, 0x00a0})
                       ? std::optional(rule(K::binaryArray))
                       : std::nullopt;
        case G::nikon3:
            if (tag == 0x0011) return subDirectory(G::nikonPv);
            return isOneOf<std::uint16_t>(
                       tag, {0x001f, 0x0023, 0x0024, 0x0025, 0x0088, 0x0091, 0x0097, 0x0098, 0x00a8,
                             0x00b0, 0x00b7, 0x00b8, 0x00b9})
                       ? std::optional(rule(K::binaryArray))
                       : std::nullopt;
        case G::nikonPv:
        case G::samsungPv:
            return thumbnail(tag, 0x0201, 0x0202, group);
        case G::pentax:
        case G::pentaxDng:
            return thumbnail(tag, 0x0004, 0x0003, group);
        case G::samsung2:
            if (tag == 0x0021) return rule(K::binaryArray);
            if (tag == 0x0035) return subDirectory(G::samsungPv);
            return std::nullopt;
        case G::sony1:
            if (tag == 0xb028) return subDirectory(G::sonyMlt);
            [[fallthrough]];
        case G::sony2:
            return isOneOf<std::uint16_t>(tag, {0x2010, 0x9402, 0x0114})
                       ? std::optional(rule(K::binaryArray))
                       : std::nullopt;
        case G::sonyMlt:
        case G::minolta:
            if (isOneOf<std::uint16_t>(tag, {0x0001, 0x0003, 0x0004, 0x0114})) {
                return rule(K::binaryArray);
            }
            return thumbnail(tag, 0x0088, 0x0089, group);
        default:
            if (inRange(group, G::subImage1, G::subThumb1)) return imageStrips(tag, group);
            return std::nullopt;
    }
}

}  // namespace

TiffComponentRule tiffComponent(std::uint16_t tag, TiffGroup group) {
    if (isElementGroup(group)) return rule(K::binaryElement);
    if (!isEntryGroupWithoutNext(group) && !isEntryGroupWithNextEntry(group) &&
        !inRange(group, G::ifd0, G::ifd2)) {
        return rule(K::none);
    }
    return specialComponent(tag, group).value_or(rule(K::entry));
}

TiffComponentRule tiffNextComponent(TiffGroup group) {
    switch (group) {
        case G::ifd0:
            return subDirectory(G::ifd1);
        case G::ifd1:
            return subDirectory(G::ifd2);
        case G::ifd2:
            return subDirectory(G::ifd3);
        default:
            if (isElementGroup(group)) return rule(K::binaryElement);
            if (isEntryGroupWithNextEntry(group)) return rule(K::entry);
            return rule(K::none);
    }
}

TiffGroup groupAfter(TiffGroup group, std::uint32_t steps) {
    const std::uint64_t index = std::uint64_t{static_cast<std::uint16_t>(group)} + steps;
    return index >= static_cast<std::uint16_t>(G::pastLast) ? G::pastLast
                                                            : static_cast<TiffGroup>(index);
}

}  // namespace quillmere::metadata
