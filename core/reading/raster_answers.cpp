#include "core/reading/raster_answers.h"

#include "core/imageio/linear_image.h"
#include "core/reading/wire.h"

namespace quillmere::raster_answers {
namespace {

// A texel of the program's textures: four half floats.
constexpr std::uint64_t kTexelBytes = 8;
constexpr std::uint64_t kRgbBytes = 3;

struct Sides {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

Sides decodeSides(std::string_view body) {
    WireReader reader(body);
    const Sides sides{reader.u32(), reader.u32()};
    reader.finish();
    if (sides.width == 0 || sides.height == 0) throw WireError("An image has no pixels.");
    return sides;
}

}  // namespace

std::string Image::encode() const { return WireWriter().u32(width).u32(height).take(); }

Image Image::decode(std::string_view body) {
    const Sides sides = decodeSides(body);
    if (std::uint64_t{sides.width} * sides.height >
        static_cast<std::uint64_t>(LinearImage::maxPixelCount)) {
        throw WireError("An image has more pixels than a photo may have.");
    }
    return {sides.width, sides.height};
}

std::uint64_t Image::pixelBytes() const { return std::uint64_t{width} * height * kTexelBytes; }

std::string ThumbnailRequest::encode() const { return WireWriter().u32(longestSide).take(); }

ThumbnailRequest ThumbnailRequest::decode(std::string_view params) {
    WireReader reader(params);
    const ThumbnailRequest request{reader.u32()};
    reader.finish();
    if (request.longestSide == 0 || request.longestSide > kMaxThumbnailSide) {
        throw WireError("A thumbnail is asked of a size no thumbnail has.");
    }
    return request;
}

std::string Thumbnail::encode() const { return WireWriter().u32(width).u32(height).take(); }

Thumbnail Thumbnail::decode(std::string_view body, std::uint32_t longestSide) {
    const Sides sides = decodeSides(body);
    if (sides.width > longestSide || sides.height > longestSide) {
        throw WireError("A thumbnail is larger than the size asked.");
    }
    return {sides.width, sides.height};
}

std::uint64_t Thumbnail::pixelBytes() const { return std::uint64_t{width} * height * kRgbBytes; }

}  // namespace quillmere::raster_answers
