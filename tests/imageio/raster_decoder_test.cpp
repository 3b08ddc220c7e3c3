#include "core/imageio/raster_decoder.h"

#include <gtest/gtest.h>

#include "core/imageio/jpeg_encoder.h"
#include "tests/fixtures/hostile_photos.h"
#include "tests/fixtures/test_exif.h"
#include "tests/fixtures/test_heic.h"
#include "tests/fixtures/test_pattern.h"
#include "tests/imageio/imageio_test_support.h"

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

TEST_F(RasterDecoderHeic, KeepsDisplayP3ColoursOutsideSrgb) {
    const TestPattern red{.background = {255, 0, 0}, .marker = {255, 0, 0}};
    const LinearImage image = decodeRasterData(fixtures::encodeTestHeic(
        fixtures::makePattern(red), {.iccProfile = fixtures::displayP3IccProfile()}));
    EXPECT_TRUE(isColour(pixelAt(image, 32, 24), displayP3RedInLinearSrgb, 0.04f));
    EXPECT_LT(pixelAt(image, 32, 24)[1], -0.02f);
}

}  // namespace
}  // namespace quillmere
