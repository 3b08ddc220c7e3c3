#include <gtest/gtest.h>

#include <iterator>
#include <limits>
#include <memory>

#include "core/render/display/histogram_builder.h"
#include "tests/fixtures/texture_fixtures.h"

namespace quillmere {
namespace {

constexpr float kInfinity = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// Bins holding `value` at the given positions and 0 elsewhere.
HistogramData::Bins binsWith(std::initializer_list<std::pair<int, float>> entries) {
    HistogramData::Bins bins{};
    for (const auto& [bin, value] : entries) bins[static_cast<std::size_t>(bin)] = value;
    return bins;
}

class Histogram : public ::testing::Test {
  protected:
    std::shared_ptr<Texture> texture(int width, int height,
                                     const std::function<msl::float4(int x, int y)>& texel,
                                     StorageMode storageMode = StorageMode::shared) const {
        const auto shared =
            testing::makeTexture(device, PixelFormat::rgba16Float, width, height, texel);
        if (storageMode == StorageMode::shared) return shared;
        const auto copy = device.makeTexture({.pixelFormat = PixelFormat::rgba16Float,
                                              .width = width,
                                              .height = height,
                                              .usage = shared->usage(),
                                              .storageMode = storageMode});
        const std::vector<std::byte> bytes = testing::readBytes(*shared);
        copy->replaceRegion({0, 0, width, height}, bytes.data(), shared->bytesPerRow());
        return copy;
    }

    Device device;
    HistogramBuilder builder{1};
};

TEST_F(Histogram, ValuesGoToTheNearestLevelAndOutOfRangeValuesToTheEnds) {
    // Red holds the value under test, green and blue stay in bin 10 so that every pixel counts.
    const float values[] = {0.25f,      0.75f, 0.1f, 0.99f,    0.0f,      -0.0f, -0.5f,
                            -kInfinity, 1.0f,  2.5f, 70000.0f, kInfinity, kNaN};
    const int width = static_cast<int>(std::size(values));
    const HistogramData histogram = builder.histogram(texture(width, 1, [&](int x, int) {
        return msl::float4{values[x], 10.0f / 63, 10.0f / 63, 1};
    }));
    // 0.25 → 16.25, 0.75 → 47.75, 0.1 → 6.8, 0.99 → 62.87. Bin 0: zeros, negatives and NaN;
    // bin 63: 1 and above, infinity included (70000 is already infinite as a half).
    const float unit = 1.0f / static_cast<float>(width);
    EXPECT_EQ(
        histogram.r,
        binsWith({{16, unit}, {47, unit}, {6, unit}, {62, unit}, {0, 5 * unit}, {63, 4 * unit}}));
    EXPECT_EQ(histogram.g, binsWith({{10, width * unit}}));
}

TEST_F(Histogram, AllChannelsShareOneScaleByTheReciprocalOfThePeak) {
    // 41 pixels: red all in bin 32, green in bin 0 for 40 of them, blue spread over two bins.
    const HistogramData histogram = builder.histogram(texture(41, 1, [](int x, int) {
        return msl::float4{0.5f, x == 0 ? 1.0f : 0.0f, x < 10 ? 0.25f : 0.75f, 1};
    }));
    const float factor = 1.0f / 41;
    EXPECT_EQ(histogram.r[32], 41 * factor);
    EXPECT_EQ(histogram.g, binsWith({{0, 40 * factor}, {63, factor}}));
    EXPECT_EQ(histogram.b, binsWith({{16, 10 * factor}, {47, 31 * factor}}));
}

TEST_F(Histogram, TheStrideSamplesEveryNthPixelOfEveryNthRow) {
    // Sampled pixels (x and y multiples of 4) are bright red; every other pixel is black.
    const auto image = texture(9, 9, [](int x, int y) {
        const bool sampled = x % 4 == 0 && y % 4 == 0;
        return msl::float4{sampled ? 1.0f : 0.0f, sampled ? 0.5f : 0.0f, 0, 1};
    });
    HistogramBuilder strided(4);
    const HistogramData histogram = strided.histogram(image);
    EXPECT_EQ(histogram.r, binsWith({{63, 1}}));
    EXPECT_EQ(histogram.g, binsWith({{32, 1}}));
    EXPECT_EQ(histogram.b, binsWith({{0, 1}}));
    // Every pixel, for comparison: 9 bright of 81.
    EXPECT_EQ(builder.histogram(image).r[63], 9 * (1.0f / 81));

    EXPECT_EQ(HistogramBuilder(-5).stride(), 1);
    // A stride beyond the image samples the top-left pixel alone.
    EXPECT_EQ(HistogramBuilder(std::numeric_limits<std::int64_t>::max()).histogram(image).r,
              binsWith({{63, 1}}));
}

TEST_F(Histogram, NothingToCountGivesTheEmptyHistogram) {
    EXPECT_EQ(builder.histogram(nullptr), HistogramData::empty);
    const auto floats = testing::makeTexture(device, PixelFormat::rgba32Float, 2, 2, [](int, int) {
        return msl::float4{0.5f, 0, 0, 1};
    });
    EXPECT_EQ(builder.histogram(floats), HistogramData::empty);
}

TEST_F(Histogram, PrivateTexturesAreCopiedFirstAndGiveTheSameResult) {
    // Two sizes in turn: the second replaces the staging texture instead of reading a stale one.
    for (const int width : {8, 3}) {
        const auto pattern = [=](int x, int y) {
            return msl::float4{x / 7.0f, y / 5.0f, x < width / 2 ? 1.0f : 0.0f, 1};
        };
        EXPECT_EQ(builder.histogram(texture(width, 6, pattern, StorageMode::devicePrivate)),
                  builder.histogram(texture(width, 6, pattern)));
    }
}

}  // namespace
}  // namespace quillmere
