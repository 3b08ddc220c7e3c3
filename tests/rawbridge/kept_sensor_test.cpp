#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "tests/rawbridge/bridge_test_support.h"

namespace quillmere::rawbridge {
namespace {

using fixtures::SyntheticDNGOptions;
using testing::TemporaryFolder;

// A sensor opened once and kept, through the 1024-byte error buffer the core uses.
class KeptSensor {
  public:
    explicit KeptSensor(const std::string& path) {
        char error[1024] = {};
        result_ = qx_raw_sensor_open(path.c_str(), &metadata_, &sensor_, error, sizeof error);
    }
    ~KeptSensor() { qx_raw_sensor_close(sensor_); }
    KeptSensor(const KeptSensor&) = delete;
    KeptSensor& operator=(const KeptSensor&) = delete;

    std::int32_t result() const { return result_; }
    const QXRAWMetadata& metadata() const { return metadata_; }

    std::vector<float> plane() {
        std::vector<float> plane(static_cast<std::size_t>(metadata_.packed_width) *
                                 metadata_.packed_height * 4);
        char error[1024] = {};
        EXPECT_EQ(qx_raw_sensor_read(sensor_, plane.data(), error, sizeof error), 0) << error;
        return plane;
    }

    // The development of `packed` (the sensor's own plane when null), or the error's words.
    std::vector<std::uint16_t> develop(const float* packed, std::string* message = nullptr) {
        std::vector<std::uint16_t> rgba(static_cast<std::size_t>(metadata_.output_width) *
                                        metadata_.output_height * 4);
        char error[1024] = {};
        const std::int32_t result =
            qx_raw_sensor_render(sensor_, packed, rgba.data(), error, sizeof error);
        if (message) *message = error;
        if (result != 0) rgba.clear();
        return rgba;
    }

  private:
    QXRAWMetadata metadata_{};
    QXRAWSensor* sensor_ = nullptr;
    std::int32_t result_ = -1;
};

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
        KeptSensor sensor(path);
        ASSERT_EQ(sensor.result(), 0);
        EXPECT_EQ(std::memcmp(&sensor.metadata(), &read.metadata, sizeof read.metadata), 0);
        const std::size_t floats =
            static_cast<std::size_t>(read.metadata.packed_width) * read.metadata.packed_height * 4;
        const std::vector<float> original(read.plane.get(), read.plane.get() + floats);

        // Another plane, as the denoiser gives one: darker, and beyond 0...1 in places.
        std::vector<float> other(original);
        for (std::size_t i = 0; i < other.size(); ++i) other[i] = other[i] * 0.8f - (i % 7 == 0);

        const std::vector<std::uint16_t> own =
            bytesOf(testing::renderSensor(path, read.metadata, original.data()));
        const std::vector<std::uint16_t> foreign =
            bytesOf(testing::renderSensor(path, read.metadata, other.data()));
        ASSERT_NE(own, foreign);
        EXPECT_EQ(sensor.develop(nullptr), own);
        EXPECT_EQ(sensor.develop(other.data()), foreign);
        EXPECT_EQ(sensor.develop(nullptr), own);
        EXPECT_EQ(sensor.plane(), original);
        EXPECT_EQ(sensor.develop(original.data()), own);

        // A failed development leaves the sensor its own plane.
        other[other.size() / 2] = std::numeric_limits<float>::quiet_NaN();
        std::string message;
        EXPECT_TRUE(sensor.develop(other.data(), &message).empty());
        EXPECT_EQ(message, "The neural model returned a non-finite sensor value.");
        EXPECT_EQ(sensor.develop(nullptr), own);
    }
}

TEST(KeptSensor, RefusesWhatTheSensorReadRefusesAndMissingArguments) {
    const TemporaryFolder folder;
    EXPECT_EQ(KeptSensor(folder.dng("narrow.dng", SyntheticDNGOptions{.width = 31})).result(), -1);

    char error[1024] = {};
    QXRAWMetadata metadata{};
    QXRAWSensor* sensor = nullptr;
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
