#include "rawbridge/linear_render.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "tests/rawbridge/bridge_test_support.h"

namespace quillmere::rawbridge {
namespace {

using fixtures::SyntheticDNGOptions;
using testing::greyCard;
using testing::readSensor;
using testing::renderSensor;
using testing::TemporaryFolder;

// Half floats keep 11 significant bits.
constexpr float kHalfTolerance = 1.0f / 1024.0f;

// The highlight treatment worked out independently: a colour with its middle value above 0.5 and
// its brightest above 1 (and none at 0) keeps its mean and takes, weighted by the smoothstep of
// the middle value from 0.5 to 1, the spread of its values clipped to 1.
std::array<double, 3> expectedTreatment(const std::array<float, 3>& rgb) {
    std::array<double, 3> c = {rgb[0], rgb[1], rgb[2]}, clipped;
    std::array<double, 3> sorted = c;
    std::sort(sorted.begin(), sorted.end());
    if (sorted[0] <= 0.0 || sorted[2] <= 1.0) return c;
    for (int i = 0; i < 3; ++i) clipped[i] = std::min(c[i], 1.0);
    const auto mean = [](const std::array<double, 3>& v) { return (v[0] + v[1] + v[2]) / 3.0; };
    const auto spread = [&](const std::array<double, 3>& v) {
        double sum = 0.0;
        for (double x : v) sum += (x - mean(v)) * (x - mean(v));
        return sum;
    };
    if (spread(c) == 0.0) return c;
    const double t = std::clamp((sorted[1] - 0.5) / 0.5, 0.0, 1.0);
    const double k = 1.0 + t * t * (3.0 - 2.0 * t) * (std::sqrt(spread(clipped) / spread(c)) - 1.0);
    const double m = mean(c);
    return {m + k * (c[0] - m), m + k * (c[1] - m), m + k * (c[2] - m)};
}

TEST(LinearRender, HighlightsShrinkTowardsTheSpreadOfTheirClippedValuesWhicheverChannel) {
    using Colour = std::array<float, 3>;
    // Fully treated, weighted by a half and by smoothstep(0.2), weight 0, no spread; untouched at
    // 1 and with a zero.
    for (const Colour& colour :
         {Colour{1.4f, 1.2f, 0.6f}, Colour{1.5f, 0.75f, 0.25f}, Colour{1.6f, 0.6f, 0.3f},
          Colour{1.4f, 0.5f, 0.2f}, Colour{1.3f, 1.3f, 1.3f}, Colour{0.9f, 1.0f, 0.2f},
          Colour{1.4f, 0.3f, 0.0f}}) {
        Colour moved = colour;
        std::sort(moved.begin(), moved.end());
        do {
            Colour rgb = moved;
            treatHighlights(rgb);
            const std::array<double, 3> expected = expectedTreatment(moved);
            const bool untouched = std::max({moved[0], moved[1], moved[2]}) <= 1.0f ||
                                   std::min({moved[0], moved[1], moved[2]}) == 0.0f;
            for (int c = 0; c < 3; ++c) {
                if (untouched) {
                    EXPECT_EQ(rgb[c], moved[c]) << colour[0] << ", " << colour[1];
                } else {
                    EXPECT_NEAR(rgb[c], expected[c], 1e-6) << colour[0] << ", " << colour[1];
                }
            }
        } while (std::next_permutation(moved.begin(), moved.end()));
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

TEST(LinearRender, DevelopsTheReadPlaneWhiteBalancedInTheOutputPrimaries) {
    const TemporaryFolder folder;
    const std::string path = folder.dng("grey.dng", greyCard());
    const auto read = readSensor(path);
    ASSERT_EQ(read.result, 0) << read.error;
    const auto rendering = renderSensor(path, read.metadata, read.plane.get());
    ASSERT_EQ(rendering.result, 0) << rendering.error;
    // Green has the smallest multiplier and keeps its level; the others match it.
    for (const auto& [x, row] : {std::pair{0, 0}, std::pair{31, 20}, std::pair{63, 47}}) {
        for (int channel = 0; channel < 4; ++channel) {
            EXPECT_NEAR(rendering.at(x, row, channel), channel == 3 ? 1.0f : 0.5f, kHalfTolerance);
        }
    }
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

TEST(LinearRender, RefusesARecordOfAnotherGeometryAndNonFiniteValues) {
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
    // Non-finite values are refused (values beyond 0...1 are clamped on writing back).
    std::vector<float> plane(read.plane.get(), read.plane.get() + 32 * 24 * 4);
    for (float bad : {NAN, INFINITY, -INFINITY}) {
        plane[100] = bad;
        EXPECT_EQ(renderSensor(path, read.metadata, plane.data()).error,
                  "The neural model returned a non-finite sensor value.");
    }
}

}  // namespace
}  // namespace quillmere::rawbridge
