#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "reader/heif/heif_items.h"
#include "core/imageio/linear_image.h"
#include "core/imageio/rgb8_image.h"

namespace quillmere {

namespace heif {
struct LibheifFile;
}

// What a HEIF file's primary image claims, read from its items and from libheif's reading of its
// boxes, before anything is decoded.
struct HeifClaim {
    // The primary image as libheif states it (turned and cropped as its properties say).
    std::int64_t width = 0;
    std::int64_t height = 0;
    // The bits of its luma samples, and whether it has an alpha channel.
    int bitDepth = 8;
    bool alpha = false;
    // What making it costs (HeifItemChecks): the coded pictures decoded and the pixels of every
    // picture and canvas made, each counted every time it is made, and the bytes of coded data
    // decoded.
    std::uint64_t pictures = 0;
    std::uint64_t madePixels = 0;
    std::uint64_t codedBytes = 0;
    // Its embedded ICC profile, as libheif hands it over; empty without one.
    std::string iccProfile;
};

// A HEIF file (HEIC, and the other HEIF and AVIF brands libheif reads): the one way into the
// program's reading of one. An object reads the file's boxes once, field by field as libheif 1.15
// reads them, and serves from that reading the EXIF read and the checks that decide whether
// libheif may decode the primary image; libheif, given the file only then, reads the boxes again
// its own way and must find what the checks found. The brand test reads the opening 'ftyp' box
// alone. The decoder, the thumbnail and the image properties each build a HeifFile of their own.
// libheif is given the file at its claim, or at its first decode.
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
    ~HeifFile();
    HeifFile(HeifFile&&) noexcept;
    HeifFile& operator=(HeifFile&&) noexcept;

    // The primary image's EXIF block from its TIFF header on, as libheif finds it: the first
    // 'Exif' item describing the image; nothing without one, or when it cannot be read.
    std::optional<std::string> exif() const;

    // What the primary image claims, once the checks let libheif read the file (heif_reading.h).
    // Throws ImageIOError: corruptImage (the checks' sentence when they refuse it),
    // imageTooLarge, outOfMemory.
    const HeifClaim& claim();

    // The primary image decoded into an upright extended linear sRGB image, through its ICC or
    // nclx colour profile (sRGB when it has neither). The file's own rotation and mirroring are
    // applied by libheif, and they are the only ones applied: HEIF's EXIF orientation only repeats
    // them, so honouring it too would turn the photo twice. Throws what claim() throws.
    LinearImage decodeLinear();
    // The same image as RGBA half floats into `texels` (the claim's width × height pixels, four
    // halves each), rows bottom first: its sides, which are the claim's or those exchanged (see
    // heif::decodePrimary). Throws what claim() throws.
    std::pair<int, int> decodeHalfFloat(std::uint16_t* texels);

    // The primary image as 8-bit sRGB samples, turned as decodeLinear turns it, for a thumbnail.
    // Throws what claim() throws.
    Rgb8Image decodeRgb8();

  private:
    // The file as libheif read it, after the checks.
    const heif::LibheifFile& opened();

    std::string_view bytes_;
    heif::Items items_;
    // Released by a function of the decoder's own, so that a HeifFile that only reads its boxes
    // (the EXIF read) brings no part of libheif with it.
    std::unique_ptr<heif::LibheifFile, void (*)(heif::LibheifFile*)> libheif_{nullptr, nullptr};
    HeifClaim claim_;
};

}  // namespace quillmere
