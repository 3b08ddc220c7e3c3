#include <gtest/gtest.h>
#include <libraw/libraw.h>

#include <array>
#include <tuple>

#include "rawbridge/inset_crop.h"
#include "rawbridge/libraw_instance.h"
#include "rawbridge/sensor_metadata.h"
#include "tests/rawbridge/bridge_test_support.h"

namespace quillmere::rawbridge {
namespace {

using fixtures::CFAPattern;
using fixtures::SyntheticDNGOptions;
using testing::readSensor;
using testing::TemporaryFolder;
using testing::testData;
using Ints = std::array<std::int32_t, 4>;
using Floats = std::array<float, 4>;

TEST(SensorRead, PutsEveryCFAPatternIntoChannelsRG1BG2AndDescribesTheSensor) {
    const TemporaryFolder folder;
    const std::tuple<CFAPattern, Ints, Ints> patterns[] = {
        {CFAPattern::RGGB, {0, 1, 1, 0}, {0, 0, 1, 1}},
        {CFAPattern::BGGR, {1, 0, 0, 1}, {1, 1, 0, 0}},
        {CFAPattern::GRBG, {1, 0, 0, 1}, {0, 0, 1, 1}},
        {CFAPattern::GBRG, {0, 1, 1, 0}, {1, 1, 0, 0}}};
    for (const auto& [pattern, cfaX, cfaY] : patterns) {
        SyntheticDNGOptions options;
        options.width = 70;
        options.height = 52;
        options.cfaPattern = pattern;
        options.blackLevels = {512};
        options.whiteLevel = 15512;
        options.iso = 800;
        options.asShotNeutral = std::array<double, 3>{0.5, 1.0, 0.8};
        options.scene = fixtures::flatScene(0.8f, 0.4f, 0.2f);
        const auto plain = readSensor(folder.dng("cfa.dng", options));
        ASSERT_EQ(plain.result, 0) << plain.error;
        EXPECT_EQ(std::to_array(plain.metadata.cfa_x), cfaX);
        EXPECT_EQ(std::to_array(plain.metadata.cfa_y), cfaY);
        // DNG anchors the pattern at the active area, here at an odd offset.
        options.activeArea = fixtures::SensorRect{3, 5, 66, 46};
        const auto read = readSensor(folder.dng("shifted.dng", options));
        ASSERT_EQ(read.result, 0) << read.error;
        for (const auto* sensor : {&plain, &read}) {
            for (const auto& [x, y] : {std::pair{0, 0}, std::pair{31, 21}, std::pair{17, 11}}) {
                for (int channel = 0; channel < 4; ++channel) {
                    const float truth[4] = {0.8f, 0.4f, 0.2f, 0.4f};
                    EXPECT_NEAR(sensor->at(x, y, channel), truth[channel], 1.0f / 15000.0f);
                }
            }
        }
        const QXRAWMetadata& m = read.metadata;
        // LibRaw moves an odd DNG active area on to the next even sample: 65 × 45 visible.
        EXPECT_EQ((Ints{m.width, m.height, m.packed_width, m.packed_height}),
                  (Ints{64, 44, 32, 22}));
        EXPECT_EQ((Ints{m.crop_x, m.crop_y, m.crop_width, m.crop_height}), (Ints{0, 0, 64, 44}));
        EXPECT_EQ((Ints{m.output_width, m.output_height, m.orientation, 0}), (Ints{64, 44, 0, 0}));
        EXPECT_EQ(m.iso, 800.0f);
        EXPECT_EQ(std::to_array(m.white), (Floats{15512, 15512, 15512, 15512}));
        // The inverse neutral; the second green shares the first's.
        EXPECT_EQ(std::to_array(m.camera_white_balance), (Floats{2.0f, 1.0f, 1.25f, 1.0f}));
        // A noise-free field offers no patch with measurable noise.
        EXPECT_EQ(std::to_array(m.noise_samples), (Ints{0, 0, 0, 0}));
    }
}

TEST(SensorRead, NormalisesEverySampleByItsOwnBlackLevelAndClamps) {
    const TemporaryFolder folder;
    SyntheticDNGOptions options;
    options.blackLevels = {500, 600, 700, 800};
    options.blackRepeatRows = 2;
    options.blackRepeatColumns = 2;
    options.whiteLevel = 10000;
    options.scene = [](int x, int) {
        const float level = x < 40 ? 0.5f : x < 80 ? -0.1f : 1.2f;
        return std::array<float, 3>{level, level, level};
    };
    const auto read = readSensor(folder.dng("black.dng", options));
    ASSERT_EQ(read.result, 0) << read.error;
    // RGGB: R at (0, 0), G1 at (1, 0), B at (1, 1), G2 at (0, 1) of the pattern.
    EXPECT_EQ(std::to_array(read.metadata.black), (Floats{500, 600, 800, 700}));
    for (int channel = 0; channel < 4; ++channel) {
        EXPECT_NEAR(read.at(5, 7, channel), 0.5f, 1e-4f) << channel;
        EXPECT_EQ(read.at(30, 7, channel), 0.0f) << channel;
        EXPECT_EQ(read.at(50, 7, channel), 1.0f) << channel;
    }

    // A blue sample outside the first quad whose black equals the white level reads 0, not NaN.
    options.whiteLevel = 4000;
    options.blackLevels = {100, 100, 100, 100, 100, 100, 100, 4000};
    options.blackRepeatColumns = 4;
    options.scene = fixtures::flatScene(0.5f, 0.5f, 0.5f);
    const auto saturated = readSensor(folder.dng("saturated-black.dng", options));
    ASSERT_EQ(saturated.result, 0) << saturated.error;
    EXPECT_EQ(saturated.at(1, 0, 2), 0.0f);
    EXPECT_NEAR(saturated.at(0, 0, 2), 0.5f, 1e-3f);
}

TEST(SensorRead, TakesARealFilesDefaultCropInVisibleCoordinatesAsTheFullDevelopmentDoes) {
    // raw-identify -v: "Raw inset, width x height: 3456 x 2304 left: 52 top: 19", with the visible
    // 3474 × 2314 at left 42 and top 14 of the raw buffer. The file's image data was stripped,
    // so only the geometry, which needs no unpacking, can be read: LibRaw would unpack it into
    // memory it never wrote.
    LibRawInstance raw = newLibRawInstance();
    ASSERT_EQ(raw->open_file(testData("exiftool_DNG.dng").c_str()), 0);
    const QXRAWMetadata m = sensorGeometry(*raw);
    EXPECT_EQ((Ints{m.width, m.height, m.output_width, m.output_height}),
              (Ints{3474, 2314, 3456, 2304}));
    EXPECT_EQ((Ints{m.crop_x, m.crop_y, m.crop_width, m.crop_height}), (Ints{10, 5, 3456, 2304}));
    // The full development moves the instance's visible area to the crop.
    ASSERT_TRUE(adjustToRawInsetCrop(*raw, 0.55f));
    const libraw_image_sizes_t& sizes = raw->imgdata.sizes;
    EXPECT_EQ((Ints{sizes.width, sizes.height, sizes.left_margin, sizes.top_margin}),
              (Ints{3456, 2304, 52, 19}));
}

TEST(SensorRead, RecoversAKnownShotAndReadNoise) {
    // A 4-megapixel sensor of flat tiles from 0.05 to 0.85 with noise of variance
    // 2.5e-5 + 2e-4 × level; the fit sees about 4000 patches per channel. Keeping the flattest
    // patches favours those whose noise came out high, so both estimates run high: over 24 seeds,
    // shot by 3 to 17 % and read by 2 to 36 %. Allowed: shot −5 to +20 %, read −5 to +40 %.
    const TemporaryFolder folder;
    SyntheticDNGOptions options;
    options.width = 2048;
    options.height = 2048;
    options.blackLevels = {1024};
    options.scene = fixtures::levelStepScene(64, 0.05f, 0.85f, 17);
    options.shotNoise = 2e-4;
    options.readNoiseVariance = 2.5e-5;
    options.seed = 7;
    const auto read = readSensor(folder.dng("noise.dng", options));
    ASSERT_EQ(read.result, 0) << read.error;
    for (int channel = 0; channel < 4; ++channel) {
        SCOPED_TRACE(channel);
        EXPECT_GT(read.metadata.noise_samples[channel], 3000);
        EXPECT_GT(read.metadata.noise_shot[channel], 0.95f * 2e-4f);
        EXPECT_LT(read.metadata.noise_shot[channel], 1.20f * 2e-4f);
        EXPECT_GT(read.metadata.noise_read_variance[channel], 0.95f * 2.5e-5f);
        EXPECT_LT(read.metadata.noise_read_variance[channel], 1.40f * 2.5e-5f);
    }
}

TEST(SensorRead, RefusesWhatItCannotReadWithTheReason) {
    const TemporaryFolder folder;
    const auto dng = [&](const char* name, auto change) {
        SyntheticDNGOptions options;
        change(options);
        return folder.dng(name, options);
    };
    // path, reason, whether the Bayer test refuses the file too
    const std::tuple<std::string, std::string, bool> cases[] = {
        {dng("narrow.dng", [](auto& o) { o.width = 31; }), "RAW sensor is too small.", false},
        {dng("low.dng", [](auto& o) { o.height = 31; }), "RAW sensor is too small.", false},
        {dng("range.dng", [](auto& o) { o.blackLevels = {3999}, o.whiteLevel = 4000; }),
         "Invalid RAW black/white calibration.", false},
        {dng("linear.dng", [](auto& o) { o.linearRaw = true; }),
         "The research denoiser currently requires a three-color Bayer RAW.", true},
        {testData("missing.dng"), "Open RAW: Input/output error", true},
        {testData("exiftool_CanonRaw.cr2"), "Open RAW: Unsupported file format or not RAW file",
         true},
        // Headers whose image data is gone: LibRaw would unpack their remains into garbage.
        {testData("exiftool_CanonRaw.crw"), "The RAW file holds no image data.", true},
        {testData("exiftool_DNG.dng"), "The RAW file holds no image data.", true},
    };
    for (const auto& [path, message, notBayer] : cases) {
        const auto read = readSensor(path);
        EXPECT_EQ(read.result, -1) << path;
        EXPECT_EQ(read.error, message) << path;
        EXPECT_EQ(read.plane, nullptr);
        if (notBayer) {
            EXPECT_FALSE(qx_raw_is_supported_bayer(path.c_str())) << path;
        }
    }
    EXPECT_TRUE(qx_raw_is_supported_bayer(folder.dng("bayer.dng", SyntheticDNGOptions{}).c_str()));
    EXPECT_FALSE(qx_raw_is_supported_bayer(nullptr));
    // A SuperCCD sensor.
    EXPECT_FALSE(qx_raw_is_supported_bayer(testData("exiftool_FujiFilm.raf").c_str()));
}

}  // namespace
}  // namespace quillmere::rawbridge
