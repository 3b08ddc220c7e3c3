#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "core/imageio/linear_image.h"
#include "core/imageio/rgb8_image.h"

namespace quillmere {

class JpegDecompression;

// What a JPEG claims to be, read from its header and the scans libjpeg will read, before any of
// its pixels is decoded.
struct JpegClaim {
    // The picture as stored, before its orientation turns it.
    std::int64_t width = 0;
    std::int64_t height = 0;
    // What libjpeg hands over for each pixel: 1 (grey), 3 (RGB) or 4 (CMYK).
    int components = 0;
    // libjpeg keeps every coefficient of the picture (a progressive file, or one whose first scan
    // codes some of its components).
    bool keepsCoefficients = false;
    // The 8 × 8 blocks of all its components, and the blocks its scans go over in all.
    std::uint64_t blocks = 0;
    std::uint64_t scanBlocks = 0;
    // Its embedded ICC profile; empty without one.
    std::string iccProfile;
};

// A JPEG file held in memory: the one way into the program's reading of one. Every decode goes
// through JpegDecompression, which refuses a header promising more than the file's coded data can
// hold before anything is sized from it. A file decodes once.
class JpegFile {
  public:
    // Reads `bytes` (which must outlive the file) up to the start of its first scan, and the scans
    // libjpeg will read. Throws ImageIOError: corruptImage for a damaged header, a header promising
    // more 8 × 8 blocks than the coded data can hold, or scans going over more blocks than it pays
    // for; imageTooLarge beyond LinearImage::maxPixelCount pixels; outOfMemory.
    explicit JpegFile(std::string_view bytes);
    ~JpegFile();
    JpegFile(const JpegFile&) = delete;
    JpegFile& operator=(const JpegFile&) = delete;

    const JpegClaim& claim() const { return claim_; }

    // The EXIF orientation of the JPEG in `bytes` (1 to 8), as Exiv2 0.27 finds it in the first
    // EXIF segment's first directory; 1 where it finds none, or no metadata at all.
    static int orientationOf(std::string_view bytes);

    // The photo as an upright extended linear sRGB image, through its embedded ICC profile (sRGB
    // when it has none or an unusable one), with `orientation` (the file's EXIF orientation)
    // applied. Throws ImageIOError: corruptImage for damaged or truncated data, imageTooLarge,
    // outOfMemory.
    LinearImage decodeLinear(int orientation);
    // The same image as RGBA half floats into `texels`, four a pixel, rows of the upright image
    // (the claim's sides, exchanged by orientations 5 to 8) bottom first. Throws what decodeLinear
    // throws.
    void decodeHalfFloat(int orientation, std::uint16_t* texels);

    // The photo decoded at the smallest scale libjpeg offers whose longer side still covers
    // `longestSide`, as 8-bit sRGB samples in the file's own orientation, for a thumbnail: grey
    // and YCbCr as libjpeg converts them, CMYK through its ICC profile as decodeLinear takes it.
    // Throws what decodeLinear throws.
    Rgb8Image decodeRgb8(int longestSide);
    // The sides decodeRgb8 decodes for `longestSide`.
    std::pair<std::int64_t, std::int64_t> scaledSize(int longestSide) const;

  private:
    // The decompression, once: a second decode throws ImageIOError.
    JpegDecompression& decompression();

    std::unique_ptr<JpegDecompression> jpeg_;
    JpegClaim claim_;
    bool decoded_ = false;
};

}  // namespace quillmere
