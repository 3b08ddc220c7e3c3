#pragma once

#include <string_view>

#include "core/imageio/linear_image.h"
#include "core/imageio/rgb8_image.h"

namespace quillmere {

// A JPEG file held in memory: the one way into the program's reading of one. Every decode goes
// through JpegDecompression, which refuses a header promising more than the file's coded data can
// hold before anything is sized from it.
class JpegFile {
  public:
    // `bytes` must outlive the file.
    explicit JpegFile(std::string_view bytes) : bytes_(bytes) {}

    // The photo as an upright extended linear sRGB image, through its embedded ICC profile (sRGB
    // when it has none or an unusable one), with `orientation` (the file's EXIF orientation)
    // applied. Throws ImageIOError: corruptImage for damaged or truncated data, imageTooLarge,
    // outOfMemory.
    LinearImage decodeLinear(int orientation) const;

    // The photo decoded at the smallest scale libjpeg offers whose longer side still covers
    // `longestSide`, as 8-bit sRGB samples in the file's own orientation, for a thumbnail: grey
    // and YCbCr as libjpeg converts them, CMYK through its ICC profile as decodeLinear takes it.
    // Throws what decodeLinear throws.
    Rgb8Image decodeRgb8(int longestSide) const;

  private:
    std::string_view bytes_;
};

}  // namespace quillmere
