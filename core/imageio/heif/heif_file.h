#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/imageio/heif/heif_items.h"
#include "core/imageio/linear_image.h"
#include "core/imageio/rgb8_image.h"

namespace quillmere {

// A HEIF file (HEIC, and the other HEIF and AVIF brands libheif reads): the one way into the
// program's reading of one. Its boxes are read once, field by field as libheif 1.15 reads them,
// and serve the brand test, the EXIF read and the checks that decide whether libheif may decode
// it; libheif is given the file only to decode a primary image those checks passed.
class HeifFile {
  public:
    // Whether `bytes` start with an 'ftyp' box whose major or a compatible brand names a HEIF
    // image or image sequence, or a codec libheif may read inside one. libheif refuses the rest
    // of what it cannot decode when it reads the file.
    static bool hasHeifBrand(std::string_view bytes);

    // Reads the boxes of `bytes`, which must outlive the file. Throws ImageIOError
    // (corruptImage) when they cannot be read as libheif reads them, or libheif could read them
    // in more than one way.
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
