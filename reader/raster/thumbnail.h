#pragma once

#include <optional>
#include <string_view>

#include "core/imageio/rgb8_image.h"
#include "core/imageio/thumbnail_size.h"
#include "reader/heif/heif_file.h"
#include "reader/jpeg/jpeg_file.h"

// Small upright 8-bit sRGB pictures of photos for the filmstrip.
namespace quillmere::Thumbnail {

// The image scaled down to its fittedSize, each output pixel the average of the input pixels it
// covers; a smaller image is returned as it is.
Rgb8Image fittingWithin(const Rgb8Image& image, int longestSide);
// The image turned upright for its EXIF orientation (1 to 8; anything else is taken as 1).
Rgb8Image upright(const Rgb8Image& image, int orientation);

// The thumbnail of a JPEG or HEIF photo, told by its data as the decoder tells it (rasterKindOf).
// Nothing for data of neither kind, or that its decoder cannot decode.
std::optional<Rgb8Image> raster(std::string_view bytes, int longestSide = maximumSide);

// A JPEG decoded at the smallest scale libjpeg offers that still covers `longestSide`, turned
// upright by its EXIF `orientation`, then fitted. Throws what JpegFile::decodeRgb8 throws.
Rgb8Image jpeg(JpegFile& file, int orientation, int longestSide);
// The primary image of a HEIC or HEIF file, with the rotation and mirroring the file declares
// (applied once, by libheif), fitted. Throws what HeifFile::decodeRgb8 throws.
Rgb8Image heif(HeifFile& file, int longestSide);

// The same of the bytes of a file, a JPEG turned by the orientation JpegFile::orientationOf finds;
// nothing for data its decoder cannot decode.
std::optional<Rgb8Image> jpeg(std::string_view bytes, int longestSide = maximumSide);
std::optional<Rgb8Image> heif(std::string_view bytes, int longestSide = maximumSide);

}  // namespace quillmere::Thumbnail
