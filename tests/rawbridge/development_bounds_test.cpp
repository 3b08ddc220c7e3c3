#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>

#include "tests/rawbridge/bridge_test_support.h"

namespace quillmere::rawbridge {
namespace {

using fixtures::SyntheticDNGOptions;
using testing::developOriginal;
using testing::readSensor;
using testing::TemporaryFolder;

constexpr const char* kNotBayer =
    "The research denoiser currently requires a three-color Bayer RAW.";
constexpr const char* kNoData = "The RAW file holds no image data.";
constexpr const char* kTooLittle =
    "The RAW file holds too little image data for its developed size.";
constexpr const char* kNotBayerQuad = "Unsupported CFA layout.";
constexpr const char* kBlackAtWhite = "Invalid RAW black/white calibration.";

SyntheticDNGOptions withColours(std::array<std::uint8_t, 4> quad) {
    SyntheticDNGOptions options;
    options.cfaColours = quad;
    return options;
}

SyntheticDNGOptions withScale(SyntheticDNGOptions options, double horizontal, double vertical) {
    options.defaultScale = std::array{horizontal, vertical};
    return options;
}

// A calibration the sensor read refuses: its black level reaches its white level.
SyntheticDNGOptions blackAtWhite() {
    SyntheticDNGOptions options;
    options.blackLevels = {3999};
    options.whiteLevel = 4000;
    return options;
}

// A 512 × 512 mosaic in one lossless-JPEG tile that codes every sample in no bits, padded so
// that its image data (and the few hundred bytes of directory after them) hold about
// `samplesPerByte` samples a byte.
SyntheticDNGOptions flatTile(double samplesPerByte,
                             std::array<std::uint8_t, 4> quad = {0, 1, 1, 2}) {
    SyntheticDNGOptions options = withColours(quad);
    options.width = options.height = 512;
    options.coding = SyntheticDNGOptions::Coding::emptyTableLosslessJpeg;
    options.trailingBytes = static_cast<std::size_t>(512 * 512 / samplesPerByte);
    return options;
}

// Each entry point of the bridge refuses what a file cannot hold before LibRaw makes it, and
// takes its honest neighbours: a mosaic holds at most 16 samples a byte, a development (stretched
// into square pixels by DefaultScale) makes at most a pixel for each, and a 2 × 2 mosaic of three
// colours is a Bayer quad. The program opens a file the sensor read (the RAW filter, Detail)
// refuses by LibRaw's development, so the thumbnail (half size each way) develops exactly when
// that development does.
TEST(DevelopmentBounds, EveryEntryPointTakesWhatTheFileHoldsAndRefusesTheRest) {
    struct Case {
        const char* name;
        SyntheticDNGOptions options;
        std::string sensorError, developmentError;
        std::array<int, 2> developed;
        std::string captureError;
    };
    const SyntheticDNGOptions plain;  // 128 × 96
    const Case cases[] = {
        {"square.dng", plain, "", "", {128, 96}, ""},
        {"black-at-white.dng", blackAtWhite(), kBlackAtWhite, "", {128, 96}, ""},
        {"wide.dng", withScale(plain, 2, 1), kNotBayer, "", {256, 96}, ""},
        {"tall.dng", withScale(plain, 1, 2), kNotBayer, "", {128, 192}, ""},
        {"cmyg.dng", withColours({3, 4, 5, 1}), kNotBayer, "", {128, 96}, ""},
        {"rgbr.dng", withColours({0, 1, 2, 0}), kNotBayerQuad, kNotBayerQuad, {}, kNotBayerQuad},
        {"rbgg.dng", withColours({0, 2, 1, 1}), kNotBayerQuad, kNotBayerQuad, {}, kNotBayerQuad},
        {"rbgb.dng", withColours({0, 2, 1, 2}), kNotBayerQuad, kNotBayerQuad, {}, kNotBayerQuad},
        {"sparse.dng", flatTile(12), "", "", {512, 512}, ""},
        {"dense.dng", flatTile(24), kNoData, kNoData, {}, ""},
        {"dense-cmyg.dng", flatTile(24, {3, 4, 5, 1}), kNoData, kNoData, {}, ""},
        {"sparse-wide.dng", withScale(flatTile(4), 2, 1), kNotBayer, "", {1024, 512}, ""},
        {"stretched.dng", withScale(flatTile(12), 10, 1), kNotBayer, kTooLittle, {}, ""},
        {"squashed.dng", withScale(flatTile(12), 1, 10), kNotBayer, kTooLittle, {}, ""},
    };
    const TemporaryFolder folder;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = folder.dng(c.name, c.options);
        EXPECT_EQ(readSensor(path).error, c.sensorError);

        const auto developed = developOriginal(path);
        EXPECT_EQ(developed.error, c.developmentError);
        EXPECT_EQ((std::array{developed.width, developed.height}), c.developed);

        char error[1024] = {};
        std::int32_t size[2] = {};
        std::uint16_t* pixels = nullptr;
        qx_raw_thumbnail(path.c_str(), size, &pixels, error, sizeof error);
        const testing::BridgeBuffer<std::uint16_t> thumbnail(pixels);
        EXPECT_EQ(error, c.developmentError);
        EXPECT_EQ((std::array{size[0] * 2, size[1] * 2}), c.developed);

        QXRAWCaptureInfo info{};
        std::fill(std::begin(error), std::end(error), '\0');
        qx_raw_read_capture_info(path.c_str(), &info, error, sizeof error);
        EXPECT_EQ(error, c.captureError);
    }
}

}  // namespace
}  // namespace quillmere::rawbridge
