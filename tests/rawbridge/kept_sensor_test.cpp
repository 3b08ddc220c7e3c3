#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "tests/rawbridge/bridge_test_support.h"

namespace quillmere::rawbridge {
namespace {

using fixtures::SyntheticDNGOptions;
using testing::TemporaryFolder;

using Sensor = std::unique_ptr<QXRAWSensor, decltype(&qx_raw_sensor_close)>;

std::vector<std::uint16_t> bytesOf(const testing::Rendering& rendering) {
    return {rendering.rgba.get(), rendering.rgba.get() + static_cast<std::size_t>(rendering.width) *
                                                             rendering.height * 4};
}

// Sensors whose development depends on what LibRaw's own development changes in the instance:
// black levels (folded into the image), a black-level pattern, margins, a turned image and
// highlights above the white level.
std::vector<SyntheticDNGOptions> sensors() {
    SyntheticDNGOptions patterned;
    patterned.width = 70;
    patterned.height = 52;
    patterned.cfaPattern = fixtures::CFAPattern::GBRG;
    patterned.whiteLevel = 4095;
    patterned.blackLevels = {240, 256, 250, 262};
    patterned.blackRepeatRows = 2;
    patterned.blackRepeatColumns = 2;
    patterned.activeArea = fixtures::SensorRect{2, 3, 66, 48};
    patterned.orientation = 6;
    patterned.scene = fixtures::gradientScene(66, 48);
    patterned.shotNoise = 4e-4;
    patterned.readNoiseVariance = 1e-5;

    SyntheticDNGOptions bright;
    bright.width = 64;
    bright.height = 48;
    bright.blackLevels = {1024};
    bright.whiteLevel = 16383;
    bright.scene = fixtures::flatScene(1.3f, 0.6f, 0.05f);
    return {patterned, bright};
}

TEST(KeptSensor, DevelopsAgainAndAgainWhatAFreshReadAndRenderGiveAndSurvivesAFailure) {
    const TemporaryFolder folder;
    int index = 0;
    for (const SyntheticDNGOptions& options : sensors()) {
        SCOPED_TRACE(index);
        const std::string path = folder.dng("sensor" + std::to_string(index++) + ".dng", options);
        const testing::SensorRead read = testing::readSensor(path);
        ASSERT_EQ(read.result, 0) << read.error;
        QXRAWMetadata metadata{};
        QXRAWSensor* opened = nullptr;
        ASSERT_EQ(qx_raw_sensor_open(path.c_str(), &metadata, &opened, nullptr, 0), 0);
        const Sensor sensor(opened, qx_raw_sensor_close);
        EXPECT_EQ(std::memcmp(&metadata, &read.metadata, sizeof metadata), 0);
        const std::size_t floats =
            static_cast<std::size_t>(metadata.packed_width) * metadata.packed_height * 4;
        const std::vector<float> original(read.plane.get(), read.plane.get() + floats);

        // Another plane, as the denoiser gives one: darker, and beyond 0...1 in places.
        std::vector<float> other(original);
        for (std::size_t i = 0; i < other.size(); ++i) other[i] = other[i] * 0.8f - (i % 7 == 0);

        const std::vector<std::uint16_t> own =
            bytesOf(testing::renderSensor(path, metadata, original.data()));
        const std::vector<std::uint16_t> foreign =
            bytesOf(testing::renderSensor(path, metadata, other.data()));
        ASSERT_NE(own, foreign);
        char error[1024] = {};
        // The development of `packed` (the sensor's own plane when null); empty when it fails.
        const auto develop = [&](const float* packed) {
            std::vector<std::uint16_t> rgba(own.size());
            if (qx_raw_sensor_render(sensor.get(), packed, rgba.data(), error, sizeof error) != 0) {
                rgba.clear();
            }
            return rgba;
        };
        EXPECT_EQ(develop(nullptr), own);
        EXPECT_EQ(develop(other.data()), foreign);
        EXPECT_EQ(develop(nullptr), own);
        std::vector<float> plane(floats);
        ASSERT_EQ(qx_raw_sensor_read(sensor.get(), plane.data(), nullptr, 0), 0);
        EXPECT_EQ(plane, original);

        // A failed development leaves the sensor its own plane.
        other[other.size() / 2] = std::numeric_limits<float>::quiet_NaN();
        EXPECT_TRUE(develop(other.data()).empty());
        EXPECT_STREQ(error, "The neural model returned a non-finite sensor value.");
        EXPECT_EQ(develop(nullptr), own);
    }
}

TEST(KeptSensor, RefusesWhatTheSensorReadRefusesAndMissingArguments) {
    const TemporaryFolder folder;
    SyntheticDNGOptions options;
    options.width = 31;
    const std::string narrow = folder.dng("narrow.dng", options);
    char error[1024] = {};
    QXRAWMetadata metadata{};
    QXRAWSensor* sensor = nullptr;
    EXPECT_EQ(qx_raw_sensor_open(narrow.c_str(), &metadata, &sensor, error, sizeof error), -1);
    EXPECT_STREQ(error, "RAW sensor is too small.");
    EXPECT_EQ(qx_raw_sensor_open(nullptr, &metadata, &sensor, error, sizeof error), -1);
    EXPECT_STREQ(error, "Missing RAW input.");
    EXPECT_EQ(sensor, nullptr);
    std::uint16_t pixel[4];
    EXPECT_EQ(qx_raw_sensor_render(nullptr, nullptr, pixel, error, sizeof error), -1);
    EXPECT_STREQ(error, "Missing RAW rendering input.");
    qx_raw_sensor_close(nullptr);
}

}  // namespace
}  // namespace quillmere::rawbridge
