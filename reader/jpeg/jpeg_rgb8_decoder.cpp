#include "reader/jpeg/jpeg_file.h"

#include <tbb/parallel_for.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/imageio/imageio_error.h"
#include "reader/jpeg/jpeg_decompression.h"
#include "reader/jpeg/jpeg_row_converter.h"

namespace quillmere {
namespace {

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

// The largest power of two up to 8 that libjpeg may divide the image by with its longer side still
// covering `longestSide`.
unsigned scaleDenominator(const JpegClaim& claim, int longestSide) {
    const std::int64_t longSide = std::max(claim.width, claim.height);
    unsigned denominator = 1;
    while (denominator < 8 && longSide / (denominator * 2) >= longestSide) denominator *= 2;
    return denominator;
}

}  // namespace

std::pair<std::int64_t, std::int64_t> JpegFile::scaledSize(int longestSide) const {
    // libjpeg rounds a scaled side up.
    const std::int64_t denominator = scaleDenominator(claim_, longestSide);
    return {(claim_.width + denominator - 1) / denominator,
            (claim_.height + denominator - 1) / denominator};
}

Rgb8Image JpegFile::decodeRgb8(int longestSide) {
    JpegDecompression& jpeg = decompression();
    jpeg_decompress_struct& info = jpeg.info();
    const bool cmyk = outputSpaceFor(info.jpeg_color_space) == JCS_CMYK;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    const std::string iccProfile = cmyk ? claim_.iccProfile : std::string();
    info.scale_num = 1;
    info.scale_denom = scaleDenominator(claim_, longestSide);
    jpeg.start();
    if (info.output_components != componentsOf(info.out_color_space)) {
        throw ImageIOError(ImageIOError::Code::corruptImage, "Its colour channels do not match.");
    }
    const int width = static_cast<int>(info.output_width);
    Rgb8Image image{width, static_cast<int>(info.output_height),
                    std::vector<std::uint8_t>(std::size_t{info.output_width} * info.output_height * 3)};
    std::optional<InkRows> inks;
    // Adobe's writers store CMYK inverted and say so in their APP14 marker.
    if (cmyk) inks.emplace(iccProfile, info.saw_Adobe_marker, width, image.height);
    const std::size_t stride = static_cast<std::size_t>(width) * 3;
    for (std::size_t y = 0; y < info.output_height; ++y) {
        jpeg.readRow(inks ? inks->row(y) : image.rgb.data() + y * stride);
    }
    if (inks) inks->convert(image);
    return image;
}

}  // namespace quillmere
