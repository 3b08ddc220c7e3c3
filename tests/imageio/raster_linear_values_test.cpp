// The linear values of whole decoded photos against their colour spaces' definitions: the
// samples libjpeg and libheif hand over for a file, read here directly, converted by the formulas
// in double and placed by the EXIF orientation's definition, against what the decoder makes of
// the file, pixel by pixel.
#include <gtest/gtest.h>
#include <libheif/heif.h>

#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

// After <cstdio>: libjpeg's header uses size_t and FILE without declaring them.
#include <jpeglib.h>

#include "core/imageio/jpeg/jpeg_encoder.h"
#include "core/imageio/raster_decoder.h"
#include "tests/fixtures/jpeg_kinds.h"
#include "tests/fixtures/test_exif.h"
#include "tests/fixtures/test_heic.h"
#include "tests/fixtures/test_pattern.h"
#include "tests/imageio/imageio_test_support.h"
#include "tests/imageio/reference_colour.h"

namespace quillmere {
namespace {

using testing_support::linearFromBt709Curve;
using testing_support::linearFromSrgbCurve;
using testing_support::multiply;
using testing_support::toLinearSrgb;
using testing_support::Vector3;

constexpr double kTolerance = 1e-4;

// A file's samples as its decoding library hands them over: top row first, `channels` a pixel.
struct Samples {
    int width = 0;
    int height = 0;
    int channels = 0;
    std::vector<std::uint16_t> values;

    const std::uint16_t* at(int x, int y) const {
        return values.data() + (static_cast<std::size_t>(y) * width + x) * channels;
    }
};

// What libjpeg hands over for `jpeg`: grey as grey, CMYK as CMYK, the rest as RGB.
Samples jpegSamples(const std::string& jpeg) {
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);  // the test's own files decode, or the test ends
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(jpeg.data()), jpeg.size());
    jpeg_read_header(&info, TRUE);
    if (info.jpeg_color_space == JCS_YCCK) info.out_color_space = JCS_CMYK;
    jpeg_start_decompress(&info);
    Samples samples{static_cast<int>(info.output_width), static_cast<int>(info.output_height),
                    info.output_components, {}};
    std::vector<JSAMPLE> row(static_cast<std::size_t>(samples.width) * samples.channels);
    while (info.output_scanline < info.output_height) {
        JSAMPROW rows[] = {row.data()};
        jpeg_read_scanlines(&info, rows, 1);
        samples.values.insert(samples.values.end(), row.begin(), row.end());
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return samples;
}

// What libheif hands over for the primary image of `heif`, turned as the file says: RGB.
Samples heifSamples(const std::string& heif, int bits) {
    heif_context* context = heif_context_alloc();
    heif_context_read_from_memory_without_copy(context, heif.data(), heif.size(), nullptr);
    heif_image_handle* handle = nullptr;
    heif_context_get_primary_image_handle(context, &handle);
    heif_image* image = nullptr;
    heif_decode_image(handle, &image, heif_colorspace_RGB,
                      bits > 8 ? heif_chroma_interleaved_RRGGBB_LE : heif_chroma_interleaved_RGB,
                      nullptr);
    Samples samples{heif_image_get_width(image, heif_channel_interleaved),
                    heif_image_get_height(image, heif_channel_interleaved), 3, {}};
    int stride = 0;
    const std::uint8_t* plane = heif_image_get_plane_readonly(image, heif_channel_interleaved, &stride);
    for (int y = 0; y < samples.height; ++y) {
        const std::uint8_t* row = plane + static_cast<std::size_t>(y) * stride;
        for (int index = 0; index < samples.width * 3; ++index) {
            samples.values.push_back(bits > 8 ? row[2 * index] | row[2 * index + 1] << 8 : row[index]);
        }
    }
    heif_image_release(image);
    heif_image_handle_release(handle);
    heif_context_free(context);
    return samples;
}

// Where stored pixel (x, y) of a `width` × `height` picture lands in the upright photo (column,
// row from the top) under EXIF orientation `orientation`, by the orientation's definition.
std::array<int, 2> uprightPlace(int orientation, int x, int y, int width, int height) {
    switch (orientation) {
        case 2: return {width - 1 - x, y};
        case 3: return {width - 1 - x, height - 1 - y};
        case 4: return {x, height - 1 - y};
        case 5: return {y, x};
        case 6: return {height - 1 - y, x};
        case 7: return {height - 1 - y, width - 1 - x};
        case 8: return {y, width - 1 - x};
        default: return {x, y};
    }
}

// The stored pixels of `image` (decoded from samples `stored`, then turned by `orientation`)
// that miss `expected` of their samples by more than the tolerance.
int misses(const LinearImage& image, const Samples& stored, int orientation,
           const std::function<Vector3(const std::uint16_t*)>& expected) {
    const bool turned = orientation >= 5;
    if (image.width != (turned ? stored.height : stored.width) ||
        image.height != (turned ? stored.width : stored.height)) {
        ADD_FAILURE() << "the image is " << image.width << " × " << image.height;
        return -1;
    }
    int missed = 0;
    for (int y = 0; y < stored.height; ++y) {
        for (int x = 0; x < stored.width; ++x) {
            const auto [column, row] = uprightPlace(orientation, x, y, stored.width, stored.height);
            const std::array<float, 4> pixel = testing_support::pixelAt(image, column, row);
            const Vector3 wanted = expected(stored.at(x, y));
            bool near = pixel[3] == 1.0f;
            for (int channel = 0; channel < 3; ++channel) {
                near = near && std::fabs(pixel[channel] - wanted[channel]) <= kTolerance;
            }
            missed += !near;
        }
    }
    return missed;
}

Rgb8Image noise(int width, int height) {
    Rgb8Image image{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * 3)};
    std::mt19937 random(5);
    for (std::uint8_t& value : image.rgb) value = static_cast<std::uint8_t>(random());
    return image;
}

Vector3 srgb(const std::uint16_t* rgb, double maxCode) {
    return {linearFromSrgbCurve(rgb[0] / maxCode), linearFromSrgbCurve(rgb[1] / maxCode),
            linearFromSrgbCurve(rgb[2] / maxCode)};
}

// Each kind of JPEG in every orientation, on a picture of more rows than the decoder converts at
// once and an odd width.
TEST(RasterLinearValues, EveryKindOfJpegInEveryOrientation) {
    const Rgb8Image picture = noise(67, 150);
    const RgbPrimaries adobeRgb{0.64, 0.33, 0.21, 0.71, 0.15, 0.06, 0.3127, 0.3290};
    const auto p3 = toLinearSrgb(fixtures::displayP3Primaries);
    const auto adobe = toLinearSrgb(adobeRgb);
    const struct {
        const char* what;
        std::string file;
        std::function<Vector3(const std::uint16_t*)> expected;
    } kinds[] = {
        {"sRGB without a profile", encodeJpeg(picture, 0.9),
         [](const std::uint16_t* rgb) { return srgb(rgb, 255); }},
        {"progressive", fixtures::encodeJpegAs(picture, fixtures::JpegKind::progressive),
         [](const std::uint16_t* rgb) { return srgb(rgb, 255); }},
        {"Display P3 profile", encodeJpeg(picture, 0.9, fixtures::displayP3IccProfile()),
         [&](const std::uint16_t* rgb) { return multiply(p3, srgb(rgb, 255)); }},
        {"Adobe RGB profile", encodeJpeg(picture, 0.9, iccProfileData(adobeRgb, TransferCurve::gamma22, "Adobe RGB")),
         [&](const std::uint16_t* rgb) {
             return multiply(adobe, Vector3{std::pow(rgb[0] / 255.0, 2.2),
                                            std::pow(rgb[1] / 255.0, 2.2),
                                            std::pow(rgb[2] / 255.0, 2.2)});
         }},
        {"grey without a profile, as sRGB", fixtures::encodeJpegAs(picture, fixtures::JpegKind::grey),
         [](const std::uint16_t* grey) {
             const double light = linearFromSrgbCurve(grey[0] / 255.0);
             return Vector3{light, light, light};
         }},
        {"Adobe CMYK without a profile: plain inks, as sRGB",
         fixtures::encodeJpegAs(picture, fixtures::JpegKind::adobeCmyk),
         [](const std::uint16_t* inverted) {
             // Stored inverted: each value is what paper shows through that ink.
             const double paper = inverted[3] / 255.0;
             return Vector3{linearFromSrgbCurve(inverted[0] / 255.0 * paper),
                            linearFromSrgbCurve(inverted[1] / 255.0 * paper),
                            linearFromSrgbCurve(inverted[2] / 255.0 * paper)};
         }},
    };
    for (const auto& kind : kinds) {
        const Samples stored = jpegSamples(kind.file);
        for (int orientation = 1; orientation <= 8; ++orientation) {
            SCOPED_TRACE(std::string(kind.what) + ", orientation " + std::to_string(orientation));
            const LinearImage image =
                decodeRasterData(fixtures::withExif(kind.file, {.orientation = orientation}));
            EXPECT_EQ(misses(image, stored, orientation, kind.expected), 0);
        }
    }
}

// HEIF pictures of 8, 10 and 12 bits, described by an ICC profile, by nclx or by nothing (sRGB).
TEST(RasterLinearValues, HeifPicturesOfEveryDepth) {
    if (!fixtures::canEncodeHeic()) GTEST_SKIP() << "libheif on this machine has no HEVC encoder";
    const Rgb8Image picture = noise(67, 150);
    const auto deep = [&](int bits) {
        fixtures::DeepRgbImage image{picture.width, picture.height, bits, {}};
        for (const std::uint8_t value : picture.rgb) {
            image.rgb.push_back(static_cast<std::uint16_t>(value << (bits - 8) | value >> (16 - bits)));
        }
        return image;
    };
    const auto p3 = toLinearSrgb(fixtures::displayP3Primaries);
    const auto bt2020 =
        toLinearSrgb({0.708, 0.292, 0.170, 0.797, 0.131, 0.046, 0.3127, 0.3290});
    const struct {
        const char* what;
        std::string file;
        int bits;
        std::function<Vector3(const std::uint16_t*)> expected;
    } kinds[] = {
        {"8 bits, no description", fixtures::encodeTestHeic(picture, {}), 8,
         [](const std::uint16_t* rgb) { return srgb(rgb, 255); }},
        {"8 bits, Display P3 profile, turned",
         fixtures::encodeTestHeic(picture, {.iccProfile = fixtures::displayP3IccProfile(), .orientation = 6}),
         8, [&](const std::uint16_t* rgb) { return multiply(p3, srgb(rgb, 255)); }},
        {"10 bits, nclx BT.2020 with the BT.709 curve",
         fixtures::encodeTestHeic(deep(10), {.nclx = fixtures::TestHeicOptions::Nclx{9, 1}}), 10,
         [&](const std::uint16_t* rgb) {
             return multiply(bt2020, Vector3{linearFromBt709Curve(rgb[0] / 1023.0),
                                             linearFromBt709Curve(rgb[1] / 1023.0),
                                             linearFromBt709Curve(rgb[2] / 1023.0)});
         }},
        {"12 bits, nclx Display P3", fixtures::encodeTestHeic(deep(12), {.nclx = fixtures::TestHeicOptions::Nclx{12, 13}}),
         12, [&](const std::uint16_t* rgb) { return multiply(p3, srgb(rgb, 4095)); }},
    };
    for (const auto& kind : kinds) {
        SCOPED_TRACE(kind.what);
        const Samples stored = heifSamples(kind.file, kind.bits);
        EXPECT_EQ(misses(decodeRasterData(kind.file), stored, 1, kind.expected), 0);
    }
}

}  // namespace
}  // namespace quillmere
