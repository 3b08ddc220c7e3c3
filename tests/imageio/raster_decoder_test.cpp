#include "reader/raster/raster_decoder.h"

#include <gtest/gtest.h>
#include <jpeglib.h>

#include <cmath>
#include <cstdio>
#include <utility>
#include <vector>

#include "core/imageio/image_properties.h"
#include "core/imageio/jpeg/jpeg_encoder.h"
#include "reader/raster/raster_kind.h"
#include "reader/raster/thumbnail.h"
#include "tests/fixtures/hostile_photos.h"
#include "tests/fixtures/jpeg_kinds.h"
#include "tests/fixtures/test_exif.h"
#include "tests/fixtures/test_heic.h"
#include "tests/fixtures/test_pattern.h"
#include "tests/imageio/imageio_test_support.h"
#include "tests/imageio/metadata_test_support.h"

namespace quillmere {
namespace {

using Code = ImageIOError::Code;
using fixtures::TestPattern;
using testing_support::errorCodeOf;
using testing_support::isColour;
using testing_support::linearColour;
using testing_support::pixelAt;

// JPEG's quantisation moves flat colours by a few codes at most; in linear light that stays
// well inside this.
constexpr float jpegTolerance = 0.02f;
// Display P3 red in extended linear sRGB: outside the sRGB gamut, so green and blue go negative.
constexpr std::array<float, 3> displayP3RedInLinearSrgb{1.2249f, -0.0421f, -0.0196f};

std::string jpegOf(const TestPattern& pattern, const fixtures::TestExif& exif = {},
                   const std::string& iccProfile = {}) {
    return fixtures::withExif(encodeJpeg(fixtures::makePattern(pattern), 1.0, iccProfile), exif);
}

TEST(RasterDecoderJpeg, DecodesSizeAndColoursBottomRowFirstInTheExifOrientation) {
    const TestPattern pattern;
    const LinearImage image = decodeRasterData(jpegOf(pattern));
    ASSERT_EQ((std::array{image.width, image.height}), (std::array{64, 48}));
    ASSERT_EQ(image.rgba.size(), 64u * 48u * 4u);
    // Row 0 of the storage is the bottom row: the marker is in the last stored rows.
    EXPECT_NEAR(image.rgba[static_cast<std::size_t>(47) * 64 * 4], linearColour(pattern.marker)[0],
                jpegTolerance);
    EXPECT_TRUE(isColour(pixelAt(image, 40, 30), linearColour(pattern.background), jpegTolerance));

    // The top-left marker goes to the top right turning clockwise, to the bottom left turning back.
    const LinearImage clockwise = decodeRasterData(jpegOf({}, {.orientation = 6}));
    ASSERT_EQ((std::array{clockwise.width, clockwise.height}), (std::array{48, 64}));
    EXPECT_TRUE(isColour(pixelAt(clockwise, 40, 8), linearColour(pattern.marker), jpegTolerance));
    const LinearImage counterClockwise = decodeRasterData(jpegOf({}, {.orientation = 8}));
    ASSERT_EQ(counterClockwise.width, 48);
    EXPECT_TRUE(
        isColour(pixelAt(counterClockwise, 8, 56), linearColour(pattern.marker), jpegTolerance));
}

// Every orientation on a picture taller than the rows the decoder gathers at once: each stored
// pixel lands where the EXIF orientation's definition puts it, found from where the stored
// top-left, top-right and bottom-left corners go, with the very values of the unturned picture.
TEST(RasterDecoderJpeg, EveryOrientationPlacesEveryPixel) {
    enum Corner { topLeft, topRight, bottomLeft, bottomRight };
    const struct {
        int orientation;
        Corner storedTopLeft, storedTopRight, storedBottomLeft;
    } orientations[] = {
        {1, topLeft, topRight, bottomLeft},     {2, topRight, topLeft, bottomRight},
        {3, bottomRight, bottomLeft, topRight}, {4, bottomLeft, bottomRight, topLeft},
        {5, topLeft, bottomLeft, topRight},     {6, topRight, bottomRight, topLeft},
        {7, bottomRight, topRight, bottomLeft}, {8, bottomLeft, topLeft, bottomRight},
    };
    const int width = 70, height = 150;
    const std::string stored = fixtures::noiseJpeg(width, height);
    const LinearImage unturned = decodeRasterData(stored);
    for (const auto& [orientation, topLeftGoes, topRightGoes, bottomLeftGoes] : orientations) {
        SCOPED_TRACE(orientation);
        const LinearImage image =
            decodeRasterData(fixtures::withExif(stored, {.orientation = orientation}));
        const bool turned = orientation >= 5;
        ASSERT_EQ(image.width, turned ? height : width);
        ASSERT_EQ(image.height, turned ? width : height);
        const auto place = [&](Corner corner) {
            return std::array{corner == topRight || corner == bottomRight ? image.width - 1 : 0,
                              corner == bottomLeft || corner == bottomRight ? image.height - 1 : 0};
        };
        const auto origin = place(topLeftGoes), across = place(topRightGoes),
                   down = place(bottomLeftGoes);
        int misplaced = 0;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const int column = origin[0] + (across[0] - origin[0]) / (width - 1) * x +
                                   (down[0] - origin[0]) / (height - 1) * y;
                const int row = origin[1] + (across[1] - origin[1]) / (width - 1) * x +
                                (down[1] - origin[1]) / (height - 1) * y;
                misplaced += pixelAt(image, column, row) != pixelAt(unturned, x, y);
            }
        }
        EXPECT_EQ(misplaced, 0);
    }
}

// Cyan is full cyan ink and no other, stored inverted as the file's Adobe marker says. Without a
// profile the inks are taken plainly: no red, full green and blue. The thumbnail shows what opens.
TEST(RasterDecoderJpeg, CmykOpensAndShowsItsThumbnailInTheSameColours) {
    const Rgb8Image flatCyan{
        64, 48, fixtures::makePattern({.background = {0, 255, 255}, .marker = {0, 255, 255}}).rgb};
    const std::string cyan = fixtures::encodeJpegWith(flatCyan, {.adobeCmyk = true});
    const LinearImage image = decodeRasterData(cyan);
    EXPECT_TRUE(isColour(pixelAt(image, 32, 24), {0.0f, 1.0f, 1.0f}, jpegTolerance));
    const std::optional<Rgb8Image> thumbnail = Thumbnail::raster(cyan);
    ASSERT_TRUE(thumbnail);
    ASSERT_EQ((std::array{thumbnail->width, thumbnail->height}), (std::array{64, 48}));
    const std::uint8_t* centre = thumbnail->rgb.data() + (24 * 64 + 32) * 3;
    EXPECT_LE(centre[0], 3);
    EXPECT_GE(centre[1], 252);
    EXPECT_GE(centre[2], 252);
}

// libjpeg's CMYK samples of `jpeg` (four a pixel, as stored) at 1 / `scale` of its size.
std::vector<JSAMPLE> cmykSamplesOf(const std::string& jpeg, unsigned scale, int& width) {
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);  // a failure ends this test program
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(jpeg.data()), jpeg.size());
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_CMYK;
    info.scale_num = 1;
    info.scale_denom = scale;
    jpeg_start_decompress(&info);
    width = static_cast<int>(info.output_width);
    std::vector<JSAMPLE> samples(std::size_t{info.output_width} * info.output_height * 4);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = samples.data() + std::size_t{info.output_scanline} * info.output_width * 4;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return samples;
}

// A CMYK thumbnail, pixel by pixel: every column a colour of its own, 26 columns at full size and
// 13 at half size (neither a multiple of 4), so that a row read or written with another stride
// shows.
// Inks stored inverted, without a profile, show the paper through each ink darkened by black: an
// sRGB value of ink × black / 255, from libjpeg's own samples.
TEST(RasterDecoderJpeg, CmykThumbnailsShowEveryPixelsInks) {
    Rgb8Image columns{26, 6, std::vector<std::uint8_t>(26 * 6 * 3)};
    for (std::size_t at = 0; at < columns.rgb.size(); at += 3) {
        const int x = static_cast<int>(at / 3 % 26);
        columns.rgb[at] = static_cast<std::uint8_t>(9 * x);
        columns.rgb[at + 1] = static_cast<std::uint8_t>(250 - 7 * x);
        columns.rgb[at + 2] = static_cast<std::uint8_t>(40 + 150 * (x % 2));
    }
    for (const bool ycck : {false, true}) {
        const std::string file =
            fixtures::encodeJpegWith(columns, {.adobeCmyk = true, .quality = 100, .ycck = ycck});
        for (const auto& [longestSide, scale] : {std::pair{26, 1u}, std::pair{13, 2u}}) {
            SCOPED_TRACE(std::string(ycck ? "YCCK" : "CMYK") + " at 1/" + std::to_string(scale));
            int width = 0;
            const std::vector<JSAMPLE> inks = cmykSamplesOf(file, scale, width);
            const std::optional<Rgb8Image> thumbnail = Thumbnail::jpeg(file, longestSide);
            ASSERT_TRUE(thumbnail);
            ASSERT_EQ(thumbnail->width, width);
            ASSERT_EQ(thumbnail->rgb.size() / 3, inks.size() / 4);
            int wrong = 0;
            for (std::size_t pixel = 0; pixel < inks.size() / 4; ++pixel) {
                const JSAMPLE* cmyk = &inks[4 * pixel];
                for (int channel = 0; channel < 3; ++channel) {
                    const long expected = std::lround(cmyk[channel] * cmyk[3] / 255.0);
                    wrong += std::abs(thumbnail->rgb[3 * pixel + channel] - expected) > 1;
                }
            }
            EXPECT_EQ(wrong, 0);
        }
    }
}

TEST(RasterDecoderHostileInput, FailsCleanly) {
    const std::string jpeg = jpegOf({.width = 96, .height = 64});
    EXPECT_EQ(errorCodeOf([&] { decodeRasterData(jpeg.substr(0, jpeg.size() / 2)); }),
              Code::corruptImage);
    EXPECT_EQ(errorCodeOf([&] { decodeRasterData(jpeg.substr(0, 40)); }), Code::corruptImage);
    EXPECT_EQ(errorCodeOf([&] { decodeRasterData(""); }), Code::unsupportedFormat);
    EXPECT_EQ(errorCodeOf([&] { decodeRasterData("GIF89a not a photo"); }),
              Code::unsupportedFormat);
}

TEST(RasterDecoderHostileInput, RefusesAHugeClaimedSizeBeforeAllocating) {
    // 65000 × 65000 pixels, 4.2 billion.
    const std::string jpeg =
        fixtures::claimingSize(encodeJpeg(fixtures::makePattern({}), 0.9), 65000, 65000);
    EXPECT_EQ(errorCodeOf([&] { decodeRasterData(jpeg); }), Code::imageTooLarge);
}

TEST(RasterDecoderHostileInput, DamagedBytesNeverCrash) {
    testing_support::expectEveryDamageDecodesOrIsRefused(
        jpegOf({.width = 40, .height = 24}, {.orientation = 6}), 2, 7);
}

class RasterDecoderHeic : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!fixtures::canEncodeHeic()) {
            GTEST_SKIP() << "libheif on this machine has no HEVC encoder to write test photos";
        }
    }
};

// HEVC's own quantisation, with 4:4:4 chroma at quality 95.
constexpr float heicTolerance = 0.03f;

TEST_F(RasterDecoderHeic, AppliesItsRotationOnceDespiteExifOrientation) {
    const TestPattern pattern;
    const LinearImage image = decodeRasterData(fixtures::encodeTestHeic(
        fixtures::makePattern(pattern),
        {.orientation = 6, .exif = fixtures::exifBlock({.orientation = 6})}));
    ASSERT_EQ((std::array{image.width, image.height}), (std::array{48, 64}));
    // The top-left marker went to the top right, as one quarter turn clockwise puts it.
    EXPECT_TRUE(isColour(pixelAt(image, 40, 6), linearColour(pattern.marker), heicTolerance));
}

// HEIF files as cameras and encoders other than libheif's write them: with "mif1" as the major
// brand, and with the sizes stated as displayed (their sides exchanged) while the picture is coded
// in the sensor's orientation and turned by the file's rotation. Each opens as the plain file does,
// at the size it decodes to, with the same thumbnail and the same capture data: a picture libheif
// writes as one coded image, and one it writes as a grid of a tile larger than the photo.
TEST_F(RasterDecoderHeic, CameraVariantsOpenLikeThePlainFile) {
    for (const TestPattern pattern : {TestPattern{.width = 128, .height = 64}, TestPattern{}}) {
        const std::string plain = fixtures::encodeTestHeic(
            fixtures::makePattern(pattern),
            {.orientation = 6, .exif = fixtures::exifBlock({.orientation = 6, .make = "Camera"})});
        const LinearImage expected = decodeRasterData(plain);
        ASSERT_EQ((std::array{expected.width, expected.height}),
                  (std::array{pattern.height, pattern.width}));
        const std::optional<Rgb8Image> expectedThumbnail = Thumbnail::raster(plain);
        ASSERT_TRUE(expectedThumbnail);

        const std::string exchanged = fixtures::withIspeSidesExchanged(plain);
        const struct {
            const char* what;
            std::string file;
        } variants[] = {
            {"major brand mif1", fixtures::withMajorBrand(plain, "mif1")},
            {"sizes stated as displayed", exchanged},
            {"both", fixtures::withMajorBrand(exchanged, "mif1")},
        };
        for (const auto& [what, file] : variants) {
            SCOPED_TRACE(std::string(what) + " at " + std::to_string(pattern.width));
            const LinearImage image = decodeRasterData(file);
            EXPECT_EQ((std::array{image.width, image.height}),
                      (std::array{pattern.height, pattern.width}));
            EXPECT_TRUE(image.rgba == expected.rgba);
            const std::optional<Rgb8Image> thumbnail = Thumbnail::raster(file);
            ASSERT_TRUE(thumbnail);
            EXPECT_TRUE(thumbnail->width == expectedThumbnail->width &&
                        thumbnail->height == expectedThumbnail->height &&
                        thumbnail->rgb == expectedThumbnail->rgb);
            EXPECT_EQ(testing_support::metadataOfFile(file).properties.make, "Camera");
        }
    }
}

TEST_F(RasterDecoderHeic, KeepsDisplayP3ColoursOutsideSrgb) {
    const TestPattern red{.background = {255, 0, 0}, .marker = {255, 0, 0}};
    const LinearImage image = decodeRasterData(fixtures::encodeTestHeic(
        fixtures::makePattern(red), {.iccProfile = fixtures::displayP3IccProfile()}));
    EXPECT_TRUE(isColour(pixelAt(image, 32, 24), displayP3RedInLinearSrgb, 0.04f));
    EXPECT_LT(pixelAt(image, 32, 24)[1], -0.02f);
}

// A JPEG is told by its start-of-image marker and the next marker's first byte; a HEIF file by
// the brands of its 'ftyp' box; nothing else is a raster photo.
TEST(RasterKind, APhotoIsToldByItsOpeningBytes) {
    const std::string heif =
        std::string("\0\0\0\x18", 4) + "ftypheic" + std::string(4, '\0') + "mif1heic";
    const struct {
        std::string bytes;
        RasterKind kind;
    } cases[] = {
        {std::string("\xFF\xD8\xFF\xE0", 4), RasterKind::jpeg},
        {std::string("\xFF\xD8\x00\xE0", 4), RasterKind::other},
        {std::string("\xFF\xD8", 2), RasterKind::other},
        {heif, RasterKind::heif},
        {"II*\0", RasterKind::other},
    };
    for (const auto& [bytes, kind] : cases) EXPECT_EQ(rasterKindOf(bytes), kind) << bytes.size();
}

}  // namespace
}  // namespace quillmere
