#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "reader/heif/heif_items.h"
#include "core/imageio/linear_image.h"
#include "core/imageio/rgb8_image.h"

namespace quillmere {

// A HEIF file (HEIC, and the other HEIF and AVIF brands libheif reads): the one way into the
// program's reading of one. An object reads the file's boxes once, field by field as libheif 1.15
// reads them, and serves from that reading the EXIF read and the checks that decide whether
// libheif may decode the primary image; libheif, given the file only then, reads the boxes again
// its own way and must find what the checks found. The brand test reads the opening 'ftyp' box
// alone. The decoder, the thumbnail and the image properties each build a HeifFile of their own.
class HeifFile {
  public:
    // Whether `bytes` start with an 'ftyp' box whose major or a compatible brand names a HEIF
    // image or image sequence, or a codec libheif may read inside one. libheif refuses the rest
    // of what it cannot decode when it reads the file.
    static bool hasHeifBrand(std::string_view bytes);

    // Reads the boxes of `bytes`, which must outlive the file. Throws ImageIOError
    // (corruptImage) when they cannot be read as libheif reads them, libheif could read them in
    // more than one way, or they hold more items or name more item data than a photo does (see
    // heif::Items::read): no use of the file reads anything of it then.
    explicit HeifFile(std::string_view bytes);

    // The primary image's EXIF block from its TIFF header on, as libheif finds it: the first
    // 'Exif' item describing the image; nothing without one, or when it cannot be read.
    std::optional<std::string> exif() const;

    // The primary image decoded into an upright extended linear sRGB image, through its ICC or
    // nclx colour profile (sRGB when it has neither). The file's own rotation and mirroring are
    // applied by libheif, and they are the only ones applied: HEIF's EXIF orientation only repeats
    // them, so honouring it too would turn the photo twice. Throws ImageIOError: corruptImage
    // (the checks' sentence when they refuse it), imageTooLarge, outOfMemory.
    LinearImage decodeLinear() const;

    // The primary image as 8-bit sRGB samples, turned as decodeLinear turns it, for a thumbnail.
    // Throws what decodeLinear throws.
    Rgb8Image decodeRgb8() const;

  private:
    std::string_view bytes_;
    heif::Items items_;
};

}  // namespace quillmere
