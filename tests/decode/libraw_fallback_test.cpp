#include "core/decode/libraw_fallback.h"

#include <gtest/gtest.h>

#include "core/decode/native_raw_error.h"
#include "tests/decode/decode_test_support.h"
#include "tests/rawbridge/bridge_test_support.h"

namespace quillmere {
namespace {

using fixtures::SensorRect;
using fixtures::SyntheticDNGOptions;
using rawbridge::testing::developOriginal;
using rawbridge::testing::testData;

class LibRawFallbackTest : public ::testing::Test {
  protected:
    rawbridge::testing::TemporaryFolder folder;
};

TEST_F(LibRawFallbackTest, DevelopsBayerAndLinearFilesToATextureOfLibRawsSize) {
    SyntheticDNGOptions turned;
    turned.width = 90;
    turned.height = 64;
    turned.activeArea = SensorRect{3, 1, 81, 61};
    turned.orientation = 6;
    turned.iso = 1600;
    turned.scene = fixtures::gradientScene(81, 61);
    SyntheticDNGOptions linear;
    linear.linearRaw = true;
    linear.cfaPattern = fixtures::CFAPattern::GBRG;
    const std::tuple<std::string, bool, float> files[] = {
        {folder.dng("turned.dng", turned), true, 1600.0f},
        {folder.dng("linear.dng", linear), false, 0.0f},
    };
    for (const auto& [path, bayer, iso] : files) {
        SCOPED_TRACE(path);
        // The reader's development is the bridge's, developed in this process.
        const LibRawFallbackImage image = LibRawFallback::decode(path);
        const auto developed = developOriginal(path);
        ASSERT_EQ(developed.result, 0) << developed.error;
        testing::expectDecodedTexture(*image.texture, PixelFormat::rgba16Float, developed.width,
                                      developed.height, "LibRaw fallback linear RGB",
                                      developed.rgba.get());
        EXPECT_EQ(image.iso, iso);
        EXPECT_EQ(image.supportsDetail, bayer);
    }
    // Turned by orientation 6: the sensor's 80 × 60 even area stands on its side.
    EXPECT_EQ(LibRawFallback::decode(std::get<0>(files[0])).texture->width(), 60);
}

TEST_F(LibRawFallbackTest, FailsCleanlyOnFilesLibRawCannotDevelop) {
    const std::pair<std::string, std::string> cases[] = {
        {testData("missing.dng"), "missing.dng cannot be found."},
        {testData("exiftool_CanonRaw.cr2"), "Open RAW: Unsupported file format or not RAW file"},
        {testData("exiftool_Nikon.nef"), "The RAW file holds no image data."},
        // A stripped iPhone file: a three-colour linear DNG.
        {testData("exiv2_IMG_1361.dng"), "The RAW file holds no image data."},
    };
    for (const auto& [path, message] : cases) {
        SCOPED_TRACE(path);
        EXPECT_EQ(testing::failureOf<NativeRAWError>([&] { LibRawFallback::decode(path); }),
                  std::pair(NativeRAWError::Code::decoding, message));
    }
}

}  // namespace
}  // namespace quillmere
