#include <gtest/gtest.h>
#include <libraw/libraw.h>

#include <array>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "tests/rawbridge/bridge_test_support.h"

namespace quillmere::rawbridge {
namespace {

using fixtures::CFAPattern;
using fixtures::SyntheticDNGOptions;
using testing::readSensor;
using testing::TemporaryFolder;
using testing::testData;

constexpr const char* kBayerOnly = "The research denoiser currently requires a three-color Bayer RAW.";

// One raw count of a 16-bit range, the rounding of the writer.
constexpr float kCount = 1.0f / 15000.0f;

SyntheticDNGOptions colourField(CFAPattern pattern) {
    SyntheticDNGOptions options;
    options.width = 64;
    options.height = 48;
    options.cfaPattern = pattern;
    options.blackLevels = {512};
    options.whiteLevel = 15512;
    options.scene = fixtures::flatScene(0.8f, 0.4f, 0.2f);
    return options;
}

struct PatternCase {
    CFAPattern pattern;
    std::array<int, 4> cfaX;
    std::array<int, 4> cfaY;
};

TEST(SensorRead, PutsEveryCFAPatternIntoChannelsRG1BG2) {
    const TemporaryFolder folder;
    const PatternCase cases[] = {{CFAPattern::RGGB, {0, 1, 1, 0}, {0, 0, 1, 1}},
                                 {CFAPattern::BGGR, {1, 0, 0, 1}, {1, 1, 0, 0}},
                                 {CFAPattern::GRBG, {1, 0, 0, 1}, {0, 0, 1, 1}},
                                 {CFAPattern::GBRG, {0, 1, 1, 0}, {1, 1, 0, 0}}};
    for (const PatternCase& pattern : cases) {
        const auto read = readSensor(folder.dng("cfa.dng", colourField(pattern.pattern)));
        ASSERT_EQ(read.result, 0) << read.error;
        const QXRAWMetadata& m = read.metadata;
        EXPECT_EQ(std::to_array(m.cfa_x), pattern.cfaX);
        EXPECT_EQ(std::to_array(m.cfa_y), pattern.cfaY);
        for (int y : {0, 11, 23}) {
            for (int x : {0, 17, 31}) {
                EXPECT_NEAR(read.at(x, y, 0), 0.8f, kCount);
                EXPECT_NEAR(read.at(x, y, 1), 0.4f, kCount);
                EXPECT_NEAR(read.at(x, y, 2), 0.2f, kCount);
                EXPECT_NEAR(read.at(x, y, 3), 0.4f, kCount);
            }
        }
    }
}

TEST(SensorRead, DescribesTheSensorOfASyntheticDNG) {
    const TemporaryFolder folder;
    SyntheticDNGOptions options = colourField(CFAPattern::RGGB);
    options.iso = 800;
    options.asShotNeutral = std::array<double, 3>{0.5, 1.0, 0.8};
    const auto read = readSensor(folder.dng("sensor.dng", options));
    ASSERT_EQ(read.result, 0) << read.error;
    const QXRAWMetadata& m = read.metadata;
    EXPECT_EQ(m.width, 64);
    EXPECT_EQ(m.height, 48);
    EXPECT_EQ(m.packed_width, 32);
    EXPECT_EQ(m.packed_height, 24);
    EXPECT_EQ(std::to_array({m.crop_x, m.crop_y, m.crop_width, m.crop_height}),
              (std::array<int32_t, 4>{0, 0, 64, 48}));
    EXPECT_EQ(m.output_width, 64);
    EXPECT_EQ(m.output_height, 48);
    EXPECT_EQ(m.orientation, 0);
    EXPECT_EQ(m.iso, 800.0f);
    EXPECT_EQ(std::to_array(m.black), (std::array<float, 4>{512, 512, 512, 512}));
    EXPECT_EQ(std::to_array(m.white), (std::array<float, 4>{15512, 15512, 15512, 15512}));
    // The as-shot multipliers are the inverse neutral; the second green shares the first's.
    EXPECT_FLOAT_EQ(m.camera_white_balance[0], 2.0f);
    EXPECT_FLOAT_EQ(m.camera_white_balance[1], 1.0f);
    EXPECT_FLOAT_EQ(m.camera_white_balance[2], 1.25f);
    EXPECT_FLOAT_EQ(m.camera_white_balance[3], 1.0f);
    // A noise-free field offers no patch with measurable noise.
    EXPECT_EQ(std::to_array(m.noise_samples), (std::array<int32_t, 4>{0, 0, 0, 0}));
    EXPECT_EQ(std::to_array(m.noise_read_variance),
              (std::array<float, 4>{1e-6f, 1e-6f, 1e-6f, 1e-6f}));
}

TEST(SensorRead, LeavesTheLastColumnOfAnOddSensorOut) {
    const TemporaryFolder folder;
    SyntheticDNGOptions options;
    options.width = 33;
    options.height = 40;
    options.scene = [](int x, int) {
        const float level = static_cast<float>(x) / 64.0f;
        return std::array<float, 3>{level, level, level};
    };
    const auto read = readSensor(folder.dng("odd.dng", options));
    ASSERT_EQ(read.result, 0) << read.error;
    EXPECT_EQ(read.metadata.width, 32);
    EXPECT_EQ(read.metadata.height, 40);
    EXPECT_EQ(read.metadata.packed_width, 16);
    EXPECT_EQ(read.metadata.packed_height, 20);
    EXPECT_NEAR(read.at(15, 19, 0), 30.0f / 64.0f, 1e-4f);  // red at column 30
    EXPECT_NEAR(read.at(15, 19, 1), 31.0f / 64.0f, 1e-4f);  // green at column 31, the last read
}

TEST(SensorRead, RefusesSensorsNarrowerOrLowerThan32Samples) {
    const TemporaryFolder folder;
    for (const auto& [width, height] : {std::pair{31, 100}, std::pair{100, 31}}) {
        SyntheticDNGOptions options;
        options.width = width;
        options.height = height;
        const auto read = readSensor(folder.dng("small.dng", options));
        EXPECT_EQ(read.result, -1);
        EXPECT_EQ(read.error, "RAW sensor is too small.");
        EXPECT_EQ(read.plane, nullptr);
    }
}

TEST(SensorRead, NormalisesEverySampleByItsOwnBlackLevel) {
    const TemporaryFolder folder;
    SyntheticDNGOptions options;
    options.blackLevels = {500, 600, 700, 800};
    options.blackRepeatRows = 2;
    options.blackRepeatColumns = 2;
    options.whiteLevel = 10000;
    options.scene = fixtures::flatScene(0.5f, 0.5f, 0.5f);
    const auto read = readSensor(folder.dng("black.dng", options));
    ASSERT_EQ(read.result, 0) << read.error;
    // RGGB: R at (0, 0), G1 at (1, 0), B at (1, 1), G2 at (0, 1) of the pattern.
    EXPECT_EQ(std::to_array(read.metadata.black), (std::array<float, 4>{500, 600, 800, 700}));
    for (int channel = 0; channel < 4; ++channel) {
        EXPECT_NEAR(read.at(5, 7, channel), 0.5f, 1e-4f) << "channel " << channel;
    }
}

TEST(SensorRead, ClampsBelowBlackToZeroAndAboveWhiteToOne) {
    const TemporaryFolder folder;
    SyntheticDNGOptions options;
    options.blackLevels = {1000};
    options.whiteLevel = 4000;
    options.scene = [](int x, int) {
        const float level = x < 64 ? -0.1f : 1.2f;
        return std::array<float, 3>{level, level, level};
    };
    const auto read = readSensor(folder.dng("clamp.dng", options));
    ASSERT_EQ(read.result, 0) << read.error;
    for (int channel = 0; channel < 4; ++channel) {
        EXPECT_EQ(read.at(3, 3, channel), 0.0f);
        EXPECT_EQ(read.at(40, 3, channel), 1.0f);
    }
}

TEST(SensorRead, ASampleWhoseBlackReachesTheWhiteLevelReadsAsZeroNotNaN) {
    const TemporaryFolder folder;
    SyntheticDNGOptions options;
    options.whiteLevel = 4000;
    // A 2 × 4 pattern whose last entry, at row 1 and column 3 (a blue sample outside the first
    // quad), equals the white level.
    options.blackLevels = {100, 100, 100, 100, 100, 100, 100, 4000};
    options.blackRepeatRows = 2;
    options.blackRepeatColumns = 4;
    options.scene = fixtures::flatScene(0.5f, 0.5f, 0.5f);
    const auto read = readSensor(folder.dng("saturated-black.dng", options));
    ASSERT_EQ(read.result, 0) << read.error;
    EXPECT_EQ(read.at(1, 0, 2), 0.0f);  // 0 / 0 in the formula
    EXPECT_NEAR(read.at(0, 0, 2), 0.5f, 1e-3f);
}

TEST(SensorRead, RefusesABlackLevelWithinOneCountOfWhite) {
    const TemporaryFolder folder;
    SyntheticDNGOptions options;
    options.blackLevels = {3999};
    options.whiteLevel = 4000;
    const auto read = readSensor(folder.dng("calibration.dng", options));
    EXPECT_EQ(read.result, -1);
    EXPECT_EQ(read.error, "Invalid RAW black/white calibration.");
}

TEST(SensorRead, SwapsTheOutputSizeForTransposingOrientations) {
    const TemporaryFolder folder;
    // TIFF orientation and the LibRaw flip it becomes.
    for (const auto& [tiffOrientation, flip] :
         {std::pair{3, 3}, std::pair{5, 4}, std::pair{6, 6}, std::pair{7, 7}, std::pair{8, 5}}) {
        SyntheticDNGOptions options;
        options.width = 64;
        options.height = 48;
        options.orientation = tiffOrientation;
        const auto read = readSensor(folder.dng("orientation.dng", options));
        ASSERT_EQ(read.result, 0) << read.error;
        EXPECT_EQ(read.metadata.orientation, flip);
        const bool transposed = (flip & 4) != 0;
        EXPECT_EQ(read.metadata.output_width, transposed ? 48 : 64) << "flip " << flip;
        EXPECT_EQ(read.metadata.output_height, transposed ? 64 : 48) << "flip " << flip;
    }
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
    options.whiteLevel = 65535;
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

TEST(SensorRead, ReportsMissingInputsWithoutTouchingAnythingElse) {
    const TemporaryFolder folder;
    const std::string path = folder.dng("any.dng", SyntheticDNGOptions{});
    QXRAWMetadata metadata;
    std::memset(&metadata, 0x5a, sizeof metadata);
    const QXRAWMetadata untouched = metadata;
    float sentinel = 0.0f;
    float* pixels = &sentinel;
    char error[1024] = {};

    EXPECT_EQ(qx_raw_read(path.c_str(), &metadata, nullptr, error, sizeof error), -1);
    EXPECT_STREQ(error, "Missing RAW input.");
    EXPECT_EQ(qx_raw_read(nullptr, &metadata, &pixels, error, sizeof error), -1);
    EXPECT_EQ(pixels, nullptr);
    pixels = &sentinel;
    EXPECT_EQ(qx_raw_read(path.c_str(), nullptr, &pixels, error, sizeof error), -1);
    EXPECT_EQ(pixels, nullptr);
    EXPECT_STREQ(error, "Missing RAW input.");
    EXPECT_EQ(std::memcmp(&metadata, &untouched, sizeof metadata), 0);
}

TEST(SensorRead, CutsTheMessageToTheBufferAndWritesNothingWithoutOne) {
    char small[10];
    std::memset(small, 'x', sizeof small);
    float* pixels = nullptr;
    QXRAWMetadata metadata{};
    EXPECT_EQ(qx_raw_read(nullptr, &metadata, &pixels, small, sizeof small), -1);
    EXPECT_EQ(std::string(small, sizeof small), std::string("Missing R\0", 10));

    char untouched[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(qx_raw_read(nullptr, &metadata, &pixels, untouched, 0), -1);
    EXPECT_EQ(std::string(untouched, 4), "abcd");
    EXPECT_EQ(qx_raw_read(nullptr, &metadata, &pixels, nullptr, 1024), -1);
}

TEST(SensorRead, RefusesFilesThatAreNotThreeColourBayer) {
    const TemporaryFolder folder;
    SyntheticDNGOptions linear;
    linear.linearRaw = true;
    const std::string linearPath = folder.dng("linear.dng", linear);
    for (const std::string& path : {linearPath, testData("exiv2_IMG_1361.dng")}) {
        const auto read = readSensor(path);
        EXPECT_EQ(read.result, -1);
        EXPECT_EQ(read.error, kBayerOnly);
        EXPECT_FALSE(qx_raw_is_supported_bayer(path.c_str()));
    }
    EXPECT_TRUE(qx_raw_is_supported_bayer(folder.dng("bayer.dng", SyntheticDNGOptions{}).c_str()));
    EXPECT_TRUE(qx_raw_is_supported_bayer(testData("tinydng_colorchart.dng").c_str()));
    EXPECT_FALSE(qx_raw_is_supported_bayer(nullptr));
    EXPECT_FALSE(qx_raw_is_supported_bayer(testData("missing.dng").c_str()));
    EXPECT_STREQ(qx_raw_version(), LibRaw::version());
}

TEST(SensorRead, DamagedCameraFilesFailWithLibRawsReason) {
    const std::pair<const char*, const char*> cases[] = {
        {"missing.dng", "Open RAW: Input/output error"},
        {"exiftool_CanonRaw.cr2", "Open RAW: Unsupported file format or not RAW file"},
        {"exiftool_CanonRaw.crw", "Unpack sensor: Input/output error"},
        {"exiftool_FujiFilm.raf", "Unpack sensor: Input/output error"},
    };
    for (const auto& [file, message] : cases) {
        const auto read = readSensor(testData(file));
        EXPECT_EQ(read.result, -1) << file;
        EXPECT_EQ(read.error, message) << file;
        EXPECT_EQ(read.plane, nullptr);
    }
}

TEST(SensorRead, StrippedFilesThatLibRawUnpacksReadAsWhatTheyHold) {
    // The Nikon file unpacks into garbage and the Canon DNG into zeros; both are still sensors.
    const auto nikon = readSensor(testData("exiftool_Nikon.nef"));
    ASSERT_EQ(nikon.result, 0) << nikon.error;
    EXPECT_EQ(nikon.metadata.width, 3038);  // LibRaw's visible width 3039, rounded down
    EXPECT_EQ(nikon.metadata.packed_width, 1519);

    const auto canon = readSensor(testData("exiftool_DNG.dng"));
    ASSERT_EQ(canon.result, 0) << canon.error;
    EXPECT_EQ(canon.at(100, 100, 0), 0.0f);
    EXPECT_EQ(std::to_array(canon.metadata.noise_samples), (std::array<int32_t, 4>{0, 0, 0, 0}));
}

TEST(SensorRead, TakesTheDefaultCropInVisibleCoordinates) {
    // raw-identify -v: "Raw inset, width x height: 3456 x 2304 left: 52 top: 19", with the visible
    // area at left 42 and top 14 of the raw buffer.
    const auto read = readSensor(testData("exiftool_DNG.dng"));
    ASSERT_EQ(read.result, 0) << read.error;
    const QXRAWMetadata& m = read.metadata;
    EXPECT_EQ(m.width, 3474);
    EXPECT_EQ(m.height, 2314);
    EXPECT_EQ(std::to_array({m.crop_x, m.crop_y, m.crop_width, m.crop_height}),
              (std::array<int32_t, 4>{10, 5, 3456, 2304}));
    EXPECT_EQ(m.output_width, 3456);
    EXPECT_EQ(m.output_height, 2304);
    EXPECT_EQ(m.iso, 400.0f);
}

TEST(SensorRead, ReadsARealColourChart) {
    const auto read = readSensor(testData("tinydng_colorchart.dng"));
    ASSERT_EQ(read.result, 0) << read.error;
    const QXRAWMetadata& m = read.metadata;
    EXPECT_EQ(m.width, 1734);
    EXPECT_EQ(m.height, 1156);
    EXPECT_EQ(m.packed_width, 867);
    EXPECT_EQ(m.packed_height, 578);
    EXPECT_EQ(std::to_array(m.cfa_x), (std::array<int32_t, 4>{0, 1, 1, 0}));
    EXPECT_EQ(std::to_array(m.cfa_y), (std::array<int32_t, 4>{0, 0, 1, 1}));
    EXPECT_EQ(std::to_array(m.black), (std::array<float, 4>{2056, 2056, 2056, 2056}));
    EXPECT_EQ(std::to_array(m.white), (std::array<float, 4>{15000, 15000, 15000, 15000}));
    EXPECT_NEAR(m.camera_white_balance[1], 0.403714f, 1e-5f);
    EXPECT_EQ(m.camera_white_balance[3], m.camera_white_balance[1]);
    float sum = 0.0f;
    for (std::size_t i = 0; i < std::size_t{867} * 578 * 4; ++i) {
        ASSERT_GE(read.plane[i], 0.0f);
        ASSERT_LE(read.plane[i], 1.0f);
        sum += read.plane[i];
    }
    EXPECT_GT(sum, 0.0f);
}

TEST(SensorRead, CallsOnSeveralThreadsGiveTheSameResult) {
    const std::string path = testData("tinydng_colorchart.dng");
    const auto reference = readSensor(path);
    ASSERT_EQ(reference.result, 0);
    const std::size_t values = std::size_t{867} * 578 * 4;
    std::vector<testing::SensorRead> reads(4);
    std::vector<std::thread> threads;
    for (auto& read : reads) threads.emplace_back([&read, &path] { read = readSensor(path); });
    for (auto& thread : threads) thread.join();
    for (const auto& read : reads) {
        ASSERT_EQ(read.result, 0) << read.error;
        EXPECT_EQ(std::memcmp(&read.metadata, &reference.metadata, sizeof read.metadata), 0);
        EXPECT_EQ(std::memcmp(read.plane.get(), reference.plane.get(), values * sizeof(float)), 0);
    }
}

}  // namespace
}  // namespace quillmere::rawbridge
