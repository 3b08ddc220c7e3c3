#pragma once

#include <cstdint>

namespace quillmere::metadata {

// The directory groups of Exiv2 0.27's TIFF reader, in its own order. The order matters: a
// sub-directory tag holding n offsets opens its group for the first and the groups that follow it
// for the others, so a hostile file can reach any group from a sub-directory tag.
// clang-format off
enum class TiffGroup : std::uint16_t {
    notSet, ifd0, ifd1, ifd2, ifd3, exif, gps, iop, mpf,
    subImage1, subImage2, subImage3, subImage4, subImage5, subImage6, subImage7, subImage8,
    subImage9, subThumb1, panaRaw, mn,
    canon, canonAf2, canonAf3, canonAfC, canonAfMiAdj, canonAm, canonAs, canonCb, canonCi,
    canonCs, canonFil, canonFl, canonHdr, canonLe, canonMe, canonMv, canonRawB, canonSi, canonCf,
    canonContrast, canonFcd1, canonFcd2, canonFcd3, canonLiOp, canonPi, canonPa, canonTi, canonFi,
    canonPr, canonVigCor, canonVigCor2, canonWb,
    casio, casio2, fuji,
    minolta, minoltaCs5D, minoltaCs7D, minoltaCsOld, minoltaCsNew,
    nikon1, nikon2, nikon3, nikonPv, nikonVr, nikonPc, nikonWt, nikonIi, nikonAf, nikonAf21,
    nikonAf22, nikonAFT, nikonFi, nikonMe, nikonFl1, nikonFl2, nikonFl3, nikonSi1, nikonSi2,
    nikonSi3, nikonSi4, nikonSi5, nikonSi6, nikonLd1, nikonLd2, nikonLd3, nikonLd4, nikonCb1,
    nikonCb2, nikonCb2a, nikonCb2b, nikonCb3, nikonCb4,
    olympus, olympus2, olympusCs, olympusEq, olympusRd, olympusRd2, olympusIp, olympusFi,
    olympusFe1, olympusFe2, olympusFe3, olympusFe4, olympusFe5, olympusFe6, olympusFe7,
    olympusFe8, olympusFe9, olympusRi,
    panasonic, pentax, pentaxDng, samsung2, samsungPv, samsungPw, sigma,
    sony1, sony2, sonyMlt, sony1Cs, sony1Cs2, sony2Cs, sony2Cs2, sony2Fp, sony2010e,
    sony1MltCs7D, sony1MltCsOld, sony1MltCsNew, sony1MltCsA100, tagInfoMv,
    last,      // Exiv2's group of entries it reads but never decodes
    pastLast,  // any group beyond: no entries
};
// clang-format on

// What Exiv2 makes of one directory entry.
enum class TiffComponentKind {
    none,           // nothing: the group has no entries
    entry,          // a value
    subDirectory,   // a value of directory offsets
    makernote,      // a value Exiv2 may read as a maker note
    binaryArray,    // a value Exiv2 splits into one entry per element
    binaryElement,  // an element entry made straight from a directory entry (it holds no value)
    imageData,      // offsets of image strips, paired with their sizes: pointers only
    imageSize,      // sizes of image strips, paired with their offsets
    thumbnailData,  // offsets of a thumbnail Exiv2 copies, paired with its sizes
    thumbnailSize,  // sizes of such a thumbnail, paired with its offsets
};

struct TiffComponentRule {
    TiffComponentKind kind = TiffComponentKind::none;
    TiffGroup subGroup =
        TiffGroup::notSet;         // for a sub-directory: the group of its first directory
    std::uint16_t partnerTag = 0;  // for data and sizes: the tag of the other half
    TiffGroup partnerGroup = TiffGroup::notSet;
};

// The component Exiv2 makes for `tag` in a directory of `group`.
TiffComponentRule tiffComponent(std::uint16_t tag, TiffGroup group);

// What Exiv2 makes of a directory's next-directory offset: a directory of the returned group,
// an entry read at that offset (`entry` or `binaryElement`), or nothing.
TiffComponentRule tiffNextComponent(TiffGroup group);

// The group `steps` places after `group`; `pastLast` beyond the end.
TiffGroup groupAfter(TiffGroup group, std::uint32_t steps);

}  // namespace quillmere::metadata
