#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// What the program asks of a reader about a raster photo (a JPEG or HEIF file) and what the
// reader answers, as both sides encode them (wire.h). The pixels travel in one sealed memory file
// beside the body, whose size the receiver derives from the body. Decoding throws WireError for a
// body that is not one.
namespace quillmere::raster_answers {

// rasterImage: no params. The answer: the photo upright, extended linear sRGB as RGBA half floats
// (the form of the program's textures), rows bottom first, packed.
struct Image {
    std::uint32_t width = 0;
    std::uint32_t height = 0;

    std::string encode() const;
    // Refuses sides of 0 and more than LinearImage::maxPixelCount pixels.
    static Image decode(std::string_view body);
    // The bytes of its pixels.
    std::uint64_t pixelBytes() const;
};

// rasterThumbnail: the longest side asked, from 1 to kMaxThumbnailSide.
inline constexpr std::uint32_t kMaxThumbnailSide = 65535;
struct ThumbnailRequest {
    std::uint32_t longestSide = 0;

    std::string encode() const;
    static ThumbnailRequest decode(std::string_view params);
};

// The answer: the thumbnail upright, 8-bit sRGB, three bytes a pixel, rows top first, packed.
struct Thumbnail {
    std::uint32_t width = 0;
    std::uint32_t height = 0;

    std::string encode() const;
    // Refuses sides of 0 and a side longer than `longestSide`, the side asked.
    static Thumbnail decode(std::string_view body, std::uint32_t longestSide);
    std::uint64_t pixelBytes() const;
};

}  // namespace quillmere::raster_answers
