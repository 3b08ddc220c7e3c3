#include "reader/raster/thumbnail.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "core/imageio/imageio_error.h"
#include "reader/raster/raster_kind.h"

namespace quillmere::Thumbnail {
namespace {

Rgb8Image blank(int width, int height) {
    Rgb8Image image;
    image.width = width;
    image.height = height;
    image.rgb.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
    return image;
}

}  // namespace

Rgb8Image fittingWithin(const Rgb8Image& image, int longestSide) {
    const std::int64_t width = image.width, height = image.height;
    const auto [outWidth, outHeight] = fittedSize(image.width, image.height, longestSide);
    if (outWidth == width && outHeight == height) return image;
    Rgb8Image fitted = blank(outWidth, outHeight);
    for (std::int64_t y = 0; y < outHeight; ++y) {
        const std::int64_t top = y * height / outHeight, bottom = (y + 1) * height / outHeight;
        for (std::int64_t x = 0; x < outWidth; ++x) {
            const std::int64_t left = x * width / outWidth, right = (x + 1) * width / outWidth;
            std::uint64_t sums[3] = {0, 0, 0};
            for (std::int64_t sy = top; sy < bottom; ++sy) {
                const std::uint8_t* row = image.rgb.data() + (sy * width + left) * 3;
                for (std::int64_t sx = left; sx < right; ++sx, row += 3) {
                    for (int channel = 0; channel < 3; ++channel) sums[channel] += row[channel];
                }
            }
            const std::uint64_t count = std::uint64_t((bottom - top) * (right - left));
            std::uint8_t* out = fitted.rgb.data() + (y * outWidth + x) * 3;
            for (int channel = 0; channel < 3; ++channel) {
                out[channel] = static_cast<std::uint8_t>((sums[channel] + count / 2) / count);
            }
        }
    }
    return fitted;
}

Rgb8Image upright(const Rgb8Image& image, int orientation) {
    if (orientation < 2 || orientation > 8) return image;
    const int width = image.width, height = image.height;
    const bool transposed = orientation >= 5;
    Rgb8Image turned = transposed ? blank(height, width) : blank(width, height);
    for (int oy = 0; oy < turned.height; ++oy) {
        for (int ox = 0; ox < turned.width; ++ox) {
            int ix = ox, iy = oy;
            switch (orientation) {
                case 2:
                    ix = width - 1 - ox;
                    break;
                case 3:
                    ix = width - 1 - ox;
                    iy = height - 1 - oy;
                    break;
                case 4:
                    iy = height - 1 - oy;
                    break;
                case 5:
                    ix = oy;
                    iy = ox;
                    break;
                case 6:
                    ix = oy;
                    iy = height - 1 - ox;
                    break;
                case 7:
                    ix = width - 1 - oy;
                    iy = height - 1 - ox;
                    break;
                case 8:
                    ix = width - 1 - oy;
                    iy = ox;
                    break;
            }
            const std::uint8_t* in = image.rgb.data() + (std::size_t(iy) * width + ix) * 3;
            std::copy(in, in + 3, turned.rgb.data() + (std::size_t(oy) * turned.width + ox) * 3);
        }
    }
    return turned;
}

std::optional<Rgb8Image> raster(std::string_view bytes, int longestSide) {
    switch (rasterKindOf(bytes)) {
        case RasterKind::jpeg:
            return jpeg(bytes, longestSide);
        case RasterKind::heif:
            return heif(bytes, longestSide);
        case RasterKind::other:
            break;
    }
    return std::nullopt;
}

Rgb8Image jpeg(JpegFile& file, int orientation, int longestSide) {
    return fittingWithin(upright(file.decodeRgb8(longestSide), orientation), longestSide);
}

Rgb8Image heif(HeifFile& file, int longestSide) {
    return fittingWithin(file.decodeRgb8(), longestSide);
}

std::optional<Rgb8Image> jpeg(std::string_view bytes, int longestSide) {
    try {
        JpegFile file(bytes);
        return jpeg(file, JpegFile::orientationOf(bytes), longestSide);
    } catch (const ImageIOError&) {
        return std::nullopt;
    }
}

std::optional<Rgb8Image> heif(std::string_view bytes, int longestSide) {
    try {
        HeifFile file(bytes);
        return heif(file, longestSide);
    } catch (const ImageIOError&) {
        return std::nullopt;
    }
}

}  // namespace quillmere::Thumbnail
