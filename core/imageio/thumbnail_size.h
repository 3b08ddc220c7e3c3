#pragma once

// The size of the program's thumbnails of photos for the filmstrip.
namespace quillmere::Thumbnail {

// The longest side of the program's thumbnails, in pixels.
inline constexpr int maximumSide = 180;

// The size of a `width` × `height` image scaled down so that its longer side is `longestSide`,
// each side rounded to the nearest pixel and at least 1; a smaller size is returned as it is.
struct Size {
    int width = 0;
    int height = 0;
    bool operator==(const Size&) const = default;
};
Size fittedSize(int width, int height, int longestSide);

}  // namespace quillmere::Thumbnail
