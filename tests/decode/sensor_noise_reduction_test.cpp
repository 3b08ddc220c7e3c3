#include "core/decode/sensor_noise_reduction.h"

#include <gtest/gtest.h>
#include <tbb/global_control.h>

#include <array>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace quillmere {
namespace {

using Quad = std::array<float, 4>;
constexpr int kWidth = 120;   // quads
constexpr int kHeight = 150;  // more than two bands of rows

SensorNoiseProfile profile() {
    SensorNoiseProfile noise;
    noise.shot = {6e-4f, 3e-4f, 8e-4f, 3e-4f};  // red and blue gain more than green
    noise.read = {4e-5f, 4e-5f, 4e-5f, 4e-5f};
    return noise;
}

// A flat field of quads (0.4, 0.3, 0.2, 0.3) plus noise of the profile's variance.
std::vector<float> noisyPlane(unsigned seed) {
    const SensorNoiseProfile noise = profile();
    const Quad clean{0.4f, 0.3f, 0.2f, 0.3f};
    std::mt19937 random(seed);
    std::normal_distribution<float> normal(0.0f, 1.0f);
    std::vector<float> plane;
    for (int quad = 0; quad < kWidth * kHeight; ++quad) {
        for (int c = 0; c < 4; ++c) {
            plane.push_back(clean[c] +
                            std::sqrt(noise.read[c] + noise.shot[c] * clean[c]) * normal(random));
        }
    }
    return plane;
}

std::vector<float> reduced(const std::vector<float>& plane, NoiseReductionAmounts amounts,
                           const SensorNoiseProfile& noise = profile()) {
    std::vector<float> result(plane.size());
    reduceSensorNoise(plane.data(), result.data(), kWidth, kHeight, noise, amounts);
    return result;
}

// Mean and standard deviation of channel c.
std::array<double, 2> statistics(const std::vector<float>& plane, int c) {
    double sum = 0.0;
    double squares = 0.0;
    const double count = static_cast<double>(plane.size() / 4);
    for (std::size_t i = c; i < plane.size(); i += 4) {
        sum += plane[i];
        squares += static_cast<double>(plane[i]) * plane[i];
    }
    return {sum / count, std::sqrt(squares / count - (sum / count) * (sum / count))};
}

float brightness(const float* q) { return q[0] + q[1] + q[2] + q[3]; }
float greenSplit(const float* q) { return q[1] - q[3]; }
float redness(const float* q) { return q[0] - 0.5f * (q[1] + q[3]); }
float blueness(const float* q) { return q[2] - 0.5f * (q[1] + q[3]); }

TEST(SensorNoiseProfile, TakesTheBridgesFitAndLendsUnfittedChannelsTheMeanOfTheOthers) {
    QXRAWMetadata metadata{};
    const float shot[4] = {1e-3f, 2e-3f, 3e-3f, std::numeric_limits<float>::quiet_NaN()};
    const float read[4] = {1e-5f, -2e-5f, 3e-5f, 1e-6f};
    const std::int32_t samples[4] = {40, 500, 32, 31};  // the last too few to be fitted
    std::copy(shot, shot + 4, metadata.noise_shot);
    std::copy(read, read + 4, metadata.noise_read_variance);
    std::copy(samples, samples + 4, metadata.noise_samples);
    SensorNoiseProfile expected;
    expected.shot = {1e-3f, 2e-3f, 3e-3f, 2e-3f};
    expected.read = {1e-5f, 0.0f, 3e-5f, 4e-5f / 3};  // a negative variance counts as none
    EXPECT_EQ(SensorNoiseProfile::fromMetadata(metadata), expected);
}

TEST(SensorNoiseReduction, SmoothsEachChannelByTheNoiseTheProfileStates) {
    const std::vector<float> plane = noisyPlane(1);
    const std::vector<float> result = reduced(plane, {1.0f, 1.0f});
    SensorNoiseProfile understated;  // the filter then takes the noise for detail
    understated.shot.fill(1e-8f);
    understated.read.fill(1e-9f);
    const std::vector<float> kept = reduced(plane, {1.0f, 1.0f}, understated);
    for (int c = 0; c < 4; ++c) {
        const auto before = statistics(plane, c);
        const auto after = statistics(result, c);
        EXPECT_NEAR(after[0], before[0], 0.002 * before[0]) << c;
        EXPECT_GT(before[1] / after[1], 3.0) << c;
        EXPECT_LT(before[1] / statistics(kept, c)[1], 1.2) << c;
    }
}

TEST(SensorNoiseReduction, AppliesEachAmountToItsOwnPartInProportion) {
    const std::vector<float> plane = noisyPlane(2);
    const std::vector<float> none = reduced(plane, {0.0f, 0.0f});
    const std::vector<float> full = reduced(plane, {1.0f, 1.0f});
    const std::vector<float> half = reduced(plane, {0.5f, 0.5f});
    const std::vector<float> colourOnly = reduced(plane, {0.0f, 1.0f});
    const std::vector<float> luminanceOnly = reduced(plane, {1.0f, 0.0f});
    for (std::size_t i = 0; i < plane.size(); ++i) {
        ASSERT_NEAR(none[i], plane[i], 1e-6f);
        ASSERT_NEAR(half[i], 0.5f * (plane[i] + full[i]), 1e-6f);
    }
    for (std::size_t i = 0; i < plane.size(); i += 4) {
        // Colour leaves the brightness and the greens' difference; luminance the colour.
        ASSERT_NEAR(brightness(&colourOnly[i]), brightness(&plane[i]), 1e-5f);
        ASSERT_NEAR(greenSplit(&colourOnly[i]), greenSplit(&plane[i]), 1e-5f);
        ASSERT_NEAR(redness(&luminanceOnly[i]), redness(&plane[i]), 1e-5f);
        ASSERT_NEAR(blueness(&luminanceOnly[i]), blueness(&plane[i]), 1e-5f);
    }
    EXPECT_NE(colourOnly, plane);
    EXPECT_NE(luminanceOnly, plane);
}

}  // namespace
}  // namespace quillmere
