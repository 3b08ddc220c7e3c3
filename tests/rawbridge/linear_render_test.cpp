#include "rawbridge/linear_render.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "tests/rawbridge/bridge_test_support.h"

namespace quillmere::rawbridge {
namespace {

using fixtures::SyntheticDNGOptions;
using testing::readSensor;
using testing::renderSensor;
using testing::TemporaryFolder;

// Half floats keep 11 significant bits.
constexpr float kHalfTolerance = 1.0f / 1024.0f;

std::array<float, 3> treated(float r, float g, float b) {
    std::array<float, 3> rgb = {r, g, b};
    treatHighlights(rgb);
    return rgb;
}

TEST(LinearRender, HighlightsAreTreatedWhicheverChannelIsBrightest) {
    for (const std::array<float, 3> colour : {std::array<float, 3>{1.4f, 1.2f, 0.6f},
                                              std::array<float, 3>{1.5f, 0.75f, 0.25f},
                                              std::array<float, 3>{1.3f, 0.6f, 0.5f}}) {
        const std::array<float, 3> reference = treated(colour[0], colour[1], colour[2]);
        EXPECT_NE(reference, colour);
        std::array<int, 3> order = {0, 1, 2};
        do {
            const std::array<float, 3> moved =
                treated(colour[order[0]], colour[order[1]], colour[order[2]]);
            for (int c = 0; c < 3; ++c) EXPECT_NEAR(moved[c], reference[order[c]], 1e-6f);
        } while (std::next_permutation(order.begin(), order.end()));
    }
}

TEST(LinearRender, HighlightsShrinkTowardsTheSpreadOfTheirClippedValues) {
    // r = 1.4, g = 1.2, b = 0.6: the middle value is above 1, so the colour takes the spread of
    // (1, 1, 0.6) around its own mean.
    const double mean = (1.4 + 1.2 + 0.6) / 3.0;
    const double spread =
        std::pow(1.4 - mean, 2) + std::pow(1.2 - mean, 2) + std::pow(0.6 - mean, 2);
    const double clippedMean = (1.0 + 1.0 + 0.6) / 3.0;
    const double clippedSpread =
        2 * std::pow(1.0 - clippedMean, 2) + std::pow(0.6 - clippedMean, 2);
    const double k = std::sqrt(clippedSpread / spread);
    const std::array<float, 3> rgb = treated(1.4f, 1.2f, 0.6f);
    EXPECT_NEAR(rgb[0], mean + k * (1.4 - mean), 1e-6);
    EXPECT_NEAR(rgb[1], mean + k * (1.2 - mean), 1e-6);
    EXPECT_NEAR(rgb[2], mean + k * (0.6 - mean), 1e-6);

    // Halfway: the middle value at 0.75 gives t = 0.5 and a smoothstep weight of 0.5.
    const std::array<float, 3> half = treated(1.5f, 0.75f, 0.25f);
    const double halfMean = 2.5 / 3.0;
    const double halfSpread =
        std::pow(1.5 - halfMean, 2) + std::pow(0.75 - halfMean, 2) + std::pow(0.25 - halfMean, 2);
    const double halfClippedSpread = std::pow(1.0 - 2.0 / 3.0, 2) + std::pow(0.75 - 2.0 / 3.0, 2) +
                                     std::pow(0.25 - 2.0 / 3.0, 2);
    const double halfK = 1.0 + 0.5 * (std::sqrt(halfClippedSpread / halfSpread) - 1.0);
    EXPECT_NEAR(half[0], halfMean + halfK * (1.5 - halfMean), 1e-6);
    EXPECT_NEAR(half[0] + half[1] + half[2], 2.5, 1e-6);
}

TEST(LinearRender, ColoursWithoutAClippedChannelPassUnchanged) {
    EXPECT_EQ(treated(0.9f, 1.0f, 0.2f), (std::array<float, 3>{0.9f, 1.0f, 0.2f}));  // max ≤ 1
    EXPECT_EQ(treated(1.4f, 0.3f, 0.0f), (std::array<float, 3>{1.4f, 0.3f, 0.0f}));  // a zero
    // Treated with a weight of 0 (middle ≤ 0.5) or without spread: unchanged up to rounding.
    for (const std::array<float, 3>& rgb :
         {std::array<float, 3>{1.4f, 0.5f, 0.2f}, std::array<float, 3>{1.3f, 1.3f, 1.3f}}) {
        const std::array<float, 3> result = treated(rgb[0], rgb[1], rgb[2]);
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(result[c], rgb[c], 1e-6f);
    }
}

TEST(LinearRender, MultipliersFallBackFromAsShotToDaylightToOne) {
    const auto color = std::make_unique<libraw_colordata_t>();
    const float asShot[4] = {2.0f, 1.0f, 0.0f, 0.0f};
    const float daylight[4] = {2.5f, 1.0f, 1.5f, 0.0f};
    std::memcpy(color->cam_mul, asShot, sizeof asShot);
    std::memcpy(color->pre_mul, daylight, sizeof daylight);
    const int colours[4] = {0, 1, 2, 3};
    // Blue has no as-shot value; the second green shares the first's.
    EXPECT_EQ(whiteBalanceMultipliers(*color, colours),
              (std::array<float, 4>{2.0f, 1.0f, 1.5f, 1.0f}));
    color->pre_mul[2] = 0.0f;
    EXPECT_EQ(whiteBalanceMultipliers(*color, colours)[2], 1.0f);
}

SyntheticDNGOptions greyCard() {
    // The as-shot neutral (0.5, 1, 0.75) seen at half the range in green: a grey of 0.5 once
    // white-balanced.
    SyntheticDNGOptions options;
    options.width = 64;
    options.height = 48;
    options.blackLevels = {1000};
    options.whiteLevel = 15000;
    options.scene = fixtures::flatScene(0.25f, 0.5f, 0.375f);
    return options;
}

TEST(LinearRender, DevelopsTheWrittenBackPlaneWhiteBalancedInTheOutputPrimaries) {
    const TemporaryFolder folder;
    const std::string path = folder.dng("grey.dng", greyCard());
    const auto read = readSensor(path);
    ASSERT_EQ(read.result, 0) << read.error;
    const auto rendering = renderSensor(path, read.metadata, read.plane.get());
    ASSERT_EQ(rendering.result, 0) << rendering.error;
    for (int row : {0, 20, 47}) {
        for (int x : {0, 31, 63}) {
            // Green has the smallest multiplier and keeps its level; the others match it.
            for (int channel = 0; channel < 3; ++channel) {
                EXPECT_NEAR(rendering.at(x, row, channel), 0.5f, kHalfTolerance);
            }
            EXPECT_EQ(rendering.at(x, row, 3), 1.0f);
        }
    }
    // What is developed is the plane handed in, not the file's own data.
    std::vector<float> brighter(read.plane.get(), read.plane.get() + 32 * 24 * 4);
    for (float& value : brighter) value *= 1.5f;
    const auto brighterRendering = renderSensor(path, read.metadata, brighter.data());
    ASSERT_EQ(brighterRendering.result, 0) << brighterRendering.error;
    EXPECT_NEAR(brighterRendering.at(10, 10, 1), 0.75f, kHalfTolerance);
}

TEST(LinearRender, StoresRowsBottomFirstInTheFilesOrientation) {
    // Brightness grows to the right of the sensor. Flip 6 turns the sensor's columns into the
    // output's rows from the top, so the bottom row (stored first) is the brightest; flip 5 turns
    // them into rows from the bottom. Along an output row the sensor's columns do not change.
    const TemporaryFolder folder;
    for (const auto& [tiffOrientation, bottomIsBright] :
         {std::pair{6, true}, std::pair{8, false}}) {
        SyntheticDNGOptions options = greyCard();
        options.orientation = tiffOrientation;
        options.scene = [](int x, int) {
            const float level = 0.05f + 0.01f * static_cast<float>(x);
            return std::array<float, 3>{level, level, level};
        };
        const std::string path = folder.dng("ramp.dng", options);
        const auto read = readSensor(path);
        ASSERT_EQ(read.result, 0) << read.error;
        const auto rendering = renderSensor(path, read.metadata, read.plane.get());
        ASSERT_EQ(rendering.result, 0) << rendering.error;
        ASSERT_EQ(rendering.width, 48);
        ASSERT_EQ(rendering.height, 64);
        EXPECT_EQ(rendering.at(24, 2, 1) > rendering.at(24, 61, 1), bottomIsBright);
        EXPECT_NEAR(rendering.at(2, 30, 1), rendering.at(45, 30, 1), kHalfTolerance);
    }
}

TEST(LinearRender, RefusesARecordOfAnotherGeometry) {
    const TemporaryFolder folder;
    const std::string path = folder.dng("grey.dng", greyCard());
    const auto read = readSensor(path);
    ASSERT_EQ(read.result, 0) << read.error;
    const std::vector<void (*)(QXRAWMetadata&)> changes = {
        [](QXRAWMetadata& m) { m.width -= 2; },
        [](QXRAWMetadata& m) { m.output_height = 64; },
        [](QXRAWMetadata& m) { m.packed_width += 1; },
        [](QXRAWMetadata& m) { m.crop_x = 2; },
        [](QXRAWMetadata& m) { m.orientation = 3; },
        [](QXRAWMetadata& m) { std::swap(m.cfa_x[0], m.cfa_x[1]); },
    };
    for (std::size_t i = 0; i < changes.size(); ++i) {
        QXRAWMetadata changed = read.metadata;
        changes[i](changed);
        const auto rendering = renderSensor(path, changed, read.plane.get());
        EXPECT_EQ(rendering.result, -1) << i;
        EXPECT_EQ(rendering.error, "RAW geometry changed since decoding.") << i;
        EXPECT_EQ(rendering.rgba, nullptr);
    }
}

TEST(LinearRender, RefusesNonFiniteValuesButClampsTheRest) {
    const TemporaryFolder folder;
    const std::string path = folder.dng("grey.dng", greyCard());
    const auto read = readSensor(path);
    ASSERT_EQ(read.result, 0) << read.error;
    std::vector<float> plane(read.plane.get(), read.plane.get() + 32 * 24 * 4);
    for (float bad : {NAN, INFINITY, -INFINITY}) {
        plane[100] = bad;
        const auto refused = renderSensor(path, read.metadata, plane.data());
        EXPECT_EQ(refused.error, "The neural model returned a non-finite sensor value.");
        EXPECT_EQ(refused.rgba, nullptr);
    }
    plane[100] = -3.0f;
    plane[101] = 7.0f;
    EXPECT_EQ(renderSensor(path, read.metadata, plane.data()).result, 0);
}

}  // namespace
}  // namespace quillmere::rawbridge
