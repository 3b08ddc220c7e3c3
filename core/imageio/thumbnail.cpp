#include "core/imageio/thumbnail.h"

#include <tbb/parallel_for.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "core/imageio/heif/heif_reading.h"
#include "core/imageio/image_properties.h"
#include "core/imageio/imageio_error.h"
#include "core/imageio/jpeg/jpeg_data_bound.h"
#include "core/imageio/jpeg/jpeg_error_handling.h"
#include "core/imageio/jpeg/jpeg_row_converter.h"
#include "core/imageio/linear_image.h"
#include "core/imageio/raster_kind.h"

namespace quillmere::Thumbnail {
namespace {

bool sizeAllowed(std::int64_t width, std::int64_t height) {
    return width > 0 && height > 0 && width * height <= LinearImage::maxPixelCount;
}

Rgb8Image blank(int width, int height) {
    Rgb8Image image;
    image.width = width;
    image.height = height;
    image.rgb.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
    return image;
}

// The sRGB byte of a linear value, as a display shows it: outside 0 to 1 it is clipped, and a
// value that is no number is black.
std::uint8_t srgbByte(float linear) {
    if (!(linear > 0.0f)) return 0;
    if (linear >= 1.0f) return 255;
    const float encoded = linear <= 0.0031308f ? 12.92f * linear
                                               : 1.055f * std::pow(linear, 1.0f / 2.4f) - 0.055f;
    return static_cast<std::uint8_t>(std::lround(encoded * 255.0f));
}

// libjpeg turns only grey and YCbCr into RGB: the rows of a CMYK JPEG take the decoder's way,
// through its ICC profile into linear light, so that the thumbnail shows the colours the photo
// opens with. They are gathered as libjpeg hands them over and converted together, in parallel.
struct InkRows {
    InkRows(const std::string& iccProfile, bool inverted, int width, int height)
        : converter(JCS_CMYK, inverted, iccProfile, width),
          rowLength(static_cast<std::size_t>(width) * 4),
          samples(rowLength * static_cast<std::size_t>(height)) {}

    JSAMPLE* row(std::size_t y) { return samples.data() + y * rowLength; }

    // Every row into `image`'s sRGB bytes.
    void convert(Rgb8Image& image) {
        tbb::parallel_for(0, image.height, [&](int y) {
            std::vector<float> linearRgba(rowLength);
            converter.convert(row(static_cast<std::size_t>(y)), linearRgba.data());
            std::uint8_t* rgb = image.rgb.data() + static_cast<std::size_t>(y) * image.width * 3;
            for (std::size_t x = 0; x < static_cast<std::size_t>(image.width); ++x) {
                for (std::size_t channel = 0; channel < 3; ++channel) {
                    rgb[3 * x + channel] = srgbByte(linearRgba[4 * x + channel]);
                }
            }
        });
    }

    const JpegRowConverter converter;
    std::size_t rowLength;
    std::vector<JSAMPLE> samples;
};

class JpegReader {
  public:
    JpegReader() { jpeg_errors::install(errors_, *reinterpret_cast<jpeg_common_struct*>(&info_)); }
    ~JpegReader() {
        if (created_) jpeg_destroy_decompress(&info_);
    }
    JpegReader(const JpegReader&) = delete;
    JpegReader& operator=(const JpegReader&) = delete;

    std::optional<Rgb8Image> read(std::string_view bytes, int longestSide) {
        if (!run([this] { jpeg_create_decompress(&info_); })) return std::nullopt;
        created_ = true;
        jpeg_errors::limitScans(errors_, info_);
        if (!run([&] {
                jpeg_mem_src(&info_, reinterpret_cast<const unsigned char*>(bytes.data()),
                             static_cast<unsigned long>(bytes.size()));
                jpeg_save_markers(&info_, JPEG_APP0 + 2, 0xFFFF);
                jpeg_read_header(&info_, TRUE);
            })) {
            return std::nullopt;
        }
        // What the decoder refuses shows no thumbnail either.
        if (!sizeAllowed(info_.image_width, info_.image_height) ||
            jpeg_data_bound::implausibleSize(info_, bytes)) {
            return std::nullopt;
        }
        info_.out_color_space = outputSpaceFor(info_.jpeg_color_space) == JCS_CMYK ? JCS_CMYK : JCS_RGB;
        std::string iccProfile;
        if (info_.out_color_space == JCS_CMYK &&
            !run([&] { iccProfile = embeddedIccProfile(info_); })) {
            return std::nullopt;
        }
        const unsigned longSide = std::max(info_.image_width, info_.image_height);
        unsigned denominator = 1;
        while (denominator < 8 && longSide / (denominator * 2) >= unsigned(longestSide)) {
            denominator *= 2;
        }
        info_.scale_num = 1;
        info_.scale_denom = denominator;
        if (!run([this] { jpeg_start_decompress(&info_); }) ||
            info_.output_components != componentsOf(info_.out_color_space)) {
            return std::nullopt;
        }
        Rgb8Image image =
            blank(static_cast<int>(info_.output_width), static_cast<int>(info_.output_height));
        std::optional<InkRows> inks;
        // Adobe's writers store CMYK inverted and say so in their APP14 marker.
        if (info_.out_color_space == JCS_CMYK) {
            inks.emplace(iccProfile, info_.saw_Adobe_marker, image.width, image.height);
        }
        const std::size_t stride = static_cast<std::size_t>(image.width) * 3;
        // Data that ends early is padded with grey by libjpeg: no thumbnail rather than that.
        if (!run([&] {
                while (info_.output_scanline < info_.output_height && !errors_.truncated) {
                    std::uint8_t* rgb = image.rgb.data() + info_.output_scanline * stride;
                    JSAMPROW row = inks ? inks->row(info_.output_scanline) : rgb;
                    jpeg_read_scanlines(&info_, &row, 1);
                }
            }) ||
            errors_.truncated) {
            return std::nullopt;
        }
        if (inks) inks->convert(image);
        return image;
    }

  private:
    template <class Step>
    bool run(const Step& step) {
        return jpeg_errors::run(errors_, step);
    }

    jpeg_decompress_struct info_{};
    jpeg_errors::ErrorManager errors_{};
    bool created_ = false;
};

}  // namespace

Size fittedSize(int width, int height, int longestSide) {
    const std::int64_t longSide = std::max(width, height);
    if (longSide <= longestSide) return {width, height};
    const auto scaled = [&](std::int64_t side) {
        return static_cast<int>(
            std::max<std::int64_t>(1, (side * longestSide + longSide / 2) / longSide));
    };
    return {scaled(width), scaled(height)};
}

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

std::optional<Rgb8Image> jpeg(std::string_view bytes, int longestSide) {
    std::optional<Rgb8Image> decoded = JpegReader().read(bytes, longestSide);
    if (!decoded) return std::nullopt;
    const int orientation = ImageProperties::readData(bytes).orientation.value_or(1);
    return fittingWithin(upright(*decoded, orientation), longestSide);
}

std::optional<Rgb8Image> heif(std::string_view bytes, int longestSide) {
    const heif_reading::Pointer<heif_decoding_options> options(heif_decoding_options_alloc());
    if (!options) return std::nullopt;
    // libheif applies the declared rotation and mirroring itself, so nothing turns it again.
    options->ignore_transformations = 0;
    options->convert_hdr_to_8bit = 1;
    heif_reading::Pointer<heif_image> decoded;
    try {
        const heif_reading::File file = heif_reading::read(bytes);
        decoded = heif_reading::decodePrimary(file, heif_colorspace_RGB,
                                              heif_chroma_interleaved_RGB, *options);
    } catch (const ImageIOError&) {
        return std::nullopt;
    }
    const int width = heif_image_get_width(decoded.get(), heif_channel_interleaved);
    const int height = heif_image_get_height(decoded.get(), heif_channel_interleaved);
    int stride = 0;
    const std::uint8_t* plane =
        heif_image_get_plane_readonly(decoded.get(), heif_channel_interleaved, &stride);
    if (plane == nullptr || !sizeAllowed(width, height) ||
        heif_image_get_bits_per_pixel_range(decoded.get(), heif_channel_interleaved) != 8 ||
        std::int64_t{stride} < std::int64_t{width} * 3) {
        return std::nullopt;
    }
    Rgb8Image image = blank(width, height);
    for (int y = 0; y < height; ++y) {
        std::copy(plane + std::size_t(y) * stride, plane + std::size_t(y) * stride + width * 3,
                  image.rgb.data() + std::size_t(y) * width * 3);
    }
    return fittingWithin(image, longestSide);
}

}  // namespace quillmere::Thumbnail
