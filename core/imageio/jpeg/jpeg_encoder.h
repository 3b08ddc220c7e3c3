#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "core/imageio/rgb8_image.h"

namespace quillmere {

// Encodes `image` as a baseline JPEG with 4:2:0 chroma. `quality` runs from 0 to 1; a value
// outside is limited to that range and one that is not a number encodes at 1, so nothing
// undefined reaches the encoder. A non-empty `iccProfile` is embedded. Throws ImageIOError:
// encodingFailed for an empty image, a size JPEG cannot hold (above 65500 pixels a side) or a
// buffer that does not match the size; outOfMemory.
std::string encodeJpeg(const Rgb8Image& image, double quality, std::string_view iccProfile = {});

// Fills `rows` consecutive rows of an 8-bit RGB image, starting at row `first` (counted from the
// top), into `rgb`: three bytes per pixel, no row padding.
using Rgb8Rows = std::function<void(int first, int rows, std::uint8_t* rgb)>;

// The same for an image of width × height pixels that `rows` provides a band of rows at a time,
// so that the whole 8-bit image never needs to be in memory. Throws what `rows` throws, and
// ImageIOError as above (encodingFailed for a size JPEG cannot hold).
std::string encodeJpeg(int width, int height, const Rgb8Rows& rows, double quality,
                       std::string_view iccProfile = {});

}  // namespace quillmere
