// Whole decoded photos against their colour spaces' definitions: the samples libjpeg and libheif
// hand over for a file, read here directly, converted by the formulas in double and placed by
// the EXIF orientation's definition, against the decoder's image, pixel by pixel.
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
#include "tests/fixtures/jpeg_kinds.h"
#include "tests/fixtures/test_exif.h"
#include "tests/fixtures/test_heic.h"
#include "tests/fixtures/test_pattern.h"
#include "tests/imageio/imageio_test_support.h"
#include "tests/imageio/reference_colour.h"

namespace quillmere {
namespace {

using namespace testing_support;
using Expected = std::function<Vector3(const std::uint16_t*)>;

// A file's samples as its library hands them over: top row first, `channels` a pixel.
struct Samples {
    int width = 0, height = 0, channels = 0;
    std::vector<std::uint16_t> values;
};

Samples jpegSamples(const std::string& jpeg) {
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);  // the test's own files decode, or the test ends
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(jpeg.data()), jpeg.size());
    jpeg_read_header(&info, TRUE);
    jpeg_start_decompress(&info);
    Samples samples{static_cast<int>(info.output_width),
                    static_cast<int>(info.output_height),
                    info.output_components,
                    {}};
    std::vector<JSAMPLE> row(info.output_width * static_cast<std::size_t>(info.output_components));
    for (JSAMPROW rows[] = {row.data()}; info.output_scanline < info.output_height;) {
        jpeg_read_scanlines(&info, rows, 1);
        samples.values.insert(samples.values.end(), row.begin(), row.end());
    }
    jpeg_destroy_decompress(&info);
    return samples;
}

// RGB, turned as the file says.
Samples heifSamples(const std::string& heif, bool deep) {
    heif_context* context = heif_context_alloc();
    heif_context_read_from_memory_without_copy(context, heif.data(), heif.size(), nullptr);
    heif_image_handle* handle = nullptr;
    heif_context_get_primary_image_handle(context, &handle);
    heif_image* image = nullptr;
    heif_decode_image(handle, &image, heif_colorspace_RGB,
                      deep ? heif_chroma_interleaved_RRGGBB_LE : heif_chroma_interleaved_RGB,
                      nullptr);
    Samples samples{heif_image_get_width(image, heif_channel_interleaved),
                    heif_image_get_height(image, heif_channel_interleaved),
                    3,
                    {}};
    int stride = 0;
    const std::uint8_t* plane =
        heif_image_get_plane_readonly(image, heif_channel_interleaved, &stride);
    for (int y = 0; y < samples.height; ++y) {
        const std::uint8_t* row = plane + static_cast<std::ptrdiff_t>(y) * stride;
        for (int index = 0; index < samples.width * 3; ++index) {
            samples.values.push_back(deep ? row[2 * index] | row[2 * index + 1] << 8 : row[index]);
        }
    }
    heif_image_release(image);
    heif_image_handle_release(handle);
    heif_context_free(context);
    return samples;
}

// The stored pixels that miss `expected` of their samples in `image`, where EXIF `orientation`
// puts them by its definition (5 to 8 exchange the sides).
int misses(const LinearImage& image, const Samples& stored, int orientation,
           const Expected& expected) {
    const int w = stored.width, h = stored.height;
    if (image.width != (orientation >= 5 ? h : w) || image.height != (orientation >= 5 ? w : h))
        return -1;
    int missed = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const std::array<std::array<int, 2>, 8> places{{{x, y},
                                                            {w - 1 - x, y},
                                                            {w - 1 - x, h - 1 - y},
                                                            {x, h - 1 - y},
                                                            {y, x},
                                                            {h - 1 - y, x},
                                                            {h - 1 - y, w - 1 - x},
                                                            {y, w - 1 - x}}};
            const auto [column, row] = places[static_cast<std::size_t>(orientation - 1)];
            const std::array<float, 4> pixel = pixelAt(image, column, row);
            const Vector3 wanted =
                expected(&stored.values[(static_cast<std::size_t>(y) * w + x) * stored.channels]);
            bool near = pixel[3] == 1.0f;
            for (int channel = 0; channel < 3; ++channel)
                near = near && std::fabs(pixel[channel] - wanted[channel]) <= 1e-4;
            missed += !near;
        }
    }
    return missed;
}

Rgb8Image noise() {
    Rgb8Image image{67, 150, std::vector<std::uint8_t>(67 * 150 * 3)};
    std::mt19937 random(5);
    for (std::uint8_t& value : image.rgb) value = static_cast<std::uint8_t>(random());
    return image;
}

// Each channel through `curve` from codes up to `maxCode`, then through `matrix`.
Expected through(const Matrix3& matrix, double (*curve)(double), double maxCode) {
    return [=](const std::uint16_t* rgb) {
        return multiply(matrix, Vector3{curve(rgb[0] / maxCode), curve(rgb[1] / maxCode),
                                        curve(rgb[2] / maxCode)});
    };
}

constexpr Matrix3 identity{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};

// Each kind of JPEG in every orientation, on a picture of more rows than the decoder converts at
// once and an odd width.
TEST(RasterLinearValues, EveryKindOfJpegInEveryOrientation) {
    const Rgb8Image picture = noise();
    const RgbPrimaries adobeRgb{0.64, 0.33, 0.21, 0.71, 0.15, 0.06, 0.3127, 0.3290};
    // ROMM RGB's white is D50, not sRGB's, so that adaptation counts.
    const RgbPrimaries romm{0.7347, 0.2653, 0.1596, 0.8404, 0.0366, 0.0001, 0.3457, 0.3585};
    const auto gamma22 = [](double v) { return std::pow(v, 2.2); };
    const struct {
        const char* what;
        std::string file;
        Expected expected;
    } kinds[] = {
        {"sRGB, no profile", encodeJpeg(picture, 0.9), through(identity, linearFromSrgbCurve, 255)},
        {"progressive", fixtures::encodeJpegWith(picture, {.progressive = true}),
         through(identity, linearFromSrgbCurve, 255)},
        {"Display P3", encodeJpeg(picture, 0.9, fixtures::displayP3IccProfile()),
         through(toLinearSrgb(fixtures::displayP3Primaries), linearFromSrgbCurve, 255)},
        {"Adobe RGB",
         encodeJpeg(picture, 0.9, iccProfileData(adobeRgb, TransferCurve::gamma22, "A")),
         through(toLinearSrgb(adobeRgb), gamma22, 255)},
        {"ROMM RGB", encodeJpeg(picture, 0.9, iccProfileData(romm, TransferCurve::gamma22, "R")),
         through(toLinearSrgb(romm), gamma22, 255)},
        {"grey, as sRGB", fixtures::encodeJpegWith(picture, {.grey = true}),
         [](const std::uint16_t* grey) {
             const double light = linearFromSrgbCurve(grey[0] / 255.0);
             return Vector3{light, light, light};
         }},
        // Stored inverted, each value is what paper shows through that ink, darkened by black.
        {"Adobe CMYK, plain inks as sRGB",
         fixtures::encodeJpegWith(picture, {.adobeCmyk = true}),
         [](const std::uint16_t* inks) {
             const std::uint16_t paper[] = {static_cast<std::uint16_t>(inks[0] * inks[3]),
                                            static_cast<std::uint16_t>(inks[1] * inks[3]),
                                            static_cast<std::uint16_t>(inks[2] * inks[3])};
             return through(identity, linearFromSrgbCurve, 255 * 255)(paper);
         }},
    };
    for (const auto& kind : kinds) {
        const Samples stored = jpegSamples(kind.file);
        for (int orientation = 1; orientation <= 8; ++orientation) {
            SCOPED_TRACE(std::string(kind.what) + ", orientation " + std::to_string(orientation));
            EXPECT_EQ(misses(decodeRasterData(
                                 fixtures::withExif(kind.file, {.orientation = orientation})),
                             stored, orientation, kind.expected),
                      0);
        }
    }
}

// HEIF pictures of 8, 10 and 12 bits, described by an ICC profile, by nclx or by nothing (sRGB).
TEST(RasterLinearValues, HeifPicturesOfEveryDepth) {
    if (!fixtures::canEncodeHeic()) GTEST_SKIP() << "libheif on this machine has no HEVC encoder";
    const Rgb8Image picture = noise();
    const auto deep = [&](int bits) {
        fixtures::DeepRgbImage image{picture.width, picture.height, bits, {}};
        for (const std::uint8_t value : picture.rgb) {
            image.rgb.push_back(
                static_cast<std::uint16_t>(value << (bits - 8) | value >> (16 - bits)));
        }
        return image;
    };
    const auto p3 = toLinearSrgb(fixtures::displayP3Primaries);
    const struct {
        const char* what;
        std::string file;
        bool deep;
        Expected expected;
    } kinds[] = {
        {"8 bits, no description", fixtures::encodeTestHeic(picture, {}), false,
         through(identity, linearFromSrgbCurve, 255)},
        {"8 bits, Display P3 profile, turned",
         fixtures::encodeTestHeic(
             picture, {.iccProfile = fixtures::displayP3IccProfile(), .orientation = 6}),
         false, through(p3, linearFromSrgbCurve, 255)},
        {"10 bits, nclx BT.2020, BT.709 curve",
         fixtures::encodeTestHeic(deep(10), {.nclx = {{9, 1}}}), true,
         through(toLinearSrgb({0.708, 0.292, 0.170, 0.797, 0.131, 0.046, 0.3127, 0.3290}),
                 linearFromBt709Curve, 1023)},
        {"12 bits, nclx Display P3", fixtures::encodeTestHeic(deep(12), {.nclx = {{12, 13}}}), true,
         through(p3, linearFromSrgbCurve, 4095)},
        // A profile's curves tabulated over 10 and 12 bits, as cameras write deep photos.
        {"10 bits, Display P3 profile",
         fixtures::encodeTestHeic(deep(10), {.iccProfile = fixtures::displayP3IccProfile()}), true,
         through(p3, linearFromSrgbCurve, 1023)},
        {"12 bits, Display P3 profile",
         fixtures::encodeTestHeic(deep(12), {.iccProfile = fixtures::displayP3IccProfile()}), true,
         through(p3, linearFromSrgbCurve, 4095)},
    };
    for (const auto& kind : kinds) {
        SCOPED_TRACE(kind.what);
        EXPECT_EQ(misses(decodeRasterData(kind.file), heifSamples(kind.file, kind.deep), 1,
                         kind.expected),
                  0);
    }
}

}  // namespace
}  // namespace quillmere
