#include "core/decode/luma_chroma_denoiser.h"

#include <gtest/gtest.h>
#include <tbb/global_control.h>

#include <cmath>
#include <random>
#include <vector>

namespace quillmere {
namespace {

// An image held as planes, with the same noise variance everywhere.
class PlanarImage final : public LumaChromaImage {
  public:
    PlanarImage(int width, int height, bool hasDetail, float variance)
        : width_(width), height_(height), variance_(variance), source(planes(hasDetail)),
          result(planes(hasDetail)), writes(static_cast<std::size_t>(height), 0) {}

    int width() const override { return width_; }
    int height() const override { return height_; }
    bool hasDetail() const override { return !source[3].empty(); }

    void readRow(int y, const LumaChromaRow& row) const override {
        float* const out[4] = {row.luma, row.chroma1, row.chroma2, row.detail};
        for (std::size_t plane = 0; plane < 4; ++plane) {
            if (source[plane].empty()) continue;
            std::copy_n(source[plane].begin() + index(0, y), width_, out[plane]);
        }
    }
    void noiseVariances(int count, const ConstLumaChromaRow&, float* luma, float* chroma1,
                        float* chroma2) const override {
        std::fill_n(luma, count, variance_);
        std::fill_n(chroma1, count, variance_);
        std::fill_n(chroma2, count, variance_);
    }
    void writeRow(int y, const ConstLumaChromaRow& row) override {
        const float* const in[4] = {row.luma, row.chroma1, row.chroma2, row.detail};
        for (std::size_t plane = 0; plane < 4; ++plane) {
            if (result[plane].empty()) continue;
            std::copy_n(in[plane], width_, result[plane].begin() + index(0, y));
        }
        ++writes[static_cast<std::size_t>(y)];
    }

    std::ptrdiff_t index(int x, int y) const {
        return static_cast<std::ptrdiff_t>(y) * width_ + x;
    }
    float& at(std::size_t plane, int x, int y) { return source[plane][index(x, y)]; }
    float resultAt(std::size_t plane, int x, int y) const { return result[plane][index(x, y)]; }

  private:
    std::vector<std::vector<float>> planes(bool hasDetail) const {
        const std::size_t size = static_cast<std::size_t>(width_) * height_;
        return {std::vector<float>(size), std::vector<float>(size), std::vector<float>(size),
                std::vector<float>(hasDetail ? size : 0)};
    }

    int width_;
    int height_;
    float variance_;

  public:
    std::vector<std::vector<float>> source;
    std::vector<std::vector<float>> result;
    std::vector<int> writes;
};

constexpr float kSigma = 0.02f;

// Flat planes at 0.3, 0.1, -0.1 and 0 with white noise of kSigma.
PlanarImage noisyImage(int width, int height, bool hasDetail, unsigned seed) {
    PlanarImage image(width, height, hasDetail, kSigma * kSigma);
    std::mt19937 random(seed);
    std::normal_distribution<float> noise(0.0f, kSigma);
    const float levels[4] = {0.3f, 0.1f, -0.1f, 0.0f};
    for (std::size_t plane = 0; plane < 4; ++plane) {
        for (float& value : image.source[plane]) value = levels[plane] + noise(random);
    }
    return image;
}

struct Statistics {
    double mean;
    double deviation;
};

Statistics statistics(const std::vector<float>& values) {
    double sum = 0.0;
    double squares = 0.0;
    for (float value : values) {
        sum += value;
        squares += static_cast<double>(value) * value;
    }
    const double mean = sum / static_cast<double>(values.size());
    return {mean, std::sqrt(squares / static_cast<double>(values.size()) - mean * mean)};
}

TEST(LumaChromaDenoiser, WritesEveryRowOnceAndTheSourceAtAmountZero) {
    PlanarImage image = noisyImage(40, 150, true, 1);
    reduceNoise(image, {0.0f, 0.0f});
    EXPECT_EQ(image.result, image.source);
    EXPECT_EQ(image.writes, std::vector<int>(150, 1));
}

TEST(LumaChromaDenoiser, SmoothsFlatNoiseWithoutMovingTheMean) {
    PlanarImage image = noisyImage(200, 160, true, 2);
    reduceNoise(image, {1.0f, 1.0f});
    for (std::size_t plane = 0; plane < 4; ++plane) {
        const Statistics before = statistics(image.source[plane]);
        const Statistics after = statistics(image.result[plane]);
        EXPECT_NEAR(after.mean, before.mean, 0.001) << plane;
        // Colour takes three passes of growing reach, luminance one.
        EXPECT_GT(before.deviation / after.deviation, plane == 1 || plane == 2 ? 5.0 : 3.0)
            << plane;
    }
}

TEST(LumaChromaDenoiser, EachAmountActsOnItsOwnPlanesInProportion) {
    PlanarImage colourOnly = noisyImage(64, 64, true, 3);
    reduceNoise(colourOnly, {0.0f, 1.0f});
    EXPECT_EQ(colourOnly.result[0], colourOnly.source[0]);
    EXPECT_EQ(colourOnly.result[3], colourOnly.source[3]);
    EXPECT_NE(colourOnly.result[1], colourOnly.source[1]);

    PlanarImage luminanceOnly = noisyImage(64, 64, true, 3);
    reduceNoise(luminanceOnly, {1.0f, 0.0f});
    EXPECT_EQ(luminanceOnly.result[1], luminanceOnly.source[1]);
    EXPECT_NE(luminanceOnly.result[0], luminanceOnly.source[0]);
    EXPECT_NE(luminanceOnly.result[3], luminanceOnly.source[3]);

    // Half the amount lands halfway; amounts beyond 1 count as 1.
    PlanarImage half = noisyImage(64, 64, true, 3);
    reduceNoise(half, {0.5f, 0.5f});
    PlanarImage beyond = noisyImage(64, 64, true, 3);
    reduceNoise(beyond, {7.0f, 1.0f});
    for (std::size_t i = 0; i < half.source[0].size(); ++i) {
        const float full = luminanceOnly.result[0][i];
        EXPECT_NEAR(half.result[0][i], 0.5f * (half.source[0][i] + full), 1e-6f);
        EXPECT_EQ(beyond.result[0][i], full);
    }
}

TEST(LumaChromaDenoiser, KeepsTheContrastOfAnEdgeWellAboveTheNoise) {
    PlanarImage image = noisyImage(96, 96, false, 4);
    const float step = 10.0f * kSigma;
    for (int y = 0; y < 96; ++y) {
        for (int x = 48; x < 96; ++x) image.at(0, x, y) += step;
    }
    reduceNoise(image, {1.0f, 1.0f});
    double before = 0.0;
    double after = 0.0;
    for (int y = 0; y < 96; ++y) {
        before += image.at(0, 48, y) - image.at(0, 47, y);
        after += image.resultAt(0, 48, y) - image.resultAt(0, 47, y);
    }
    EXPECT_NEAR(after / before, 1.0, 0.05);
}

TEST(LumaChromaDenoiser, GivesTheSameResultWhereverBandsAndThreadsFall) {
    // The image is worked through in bands of rows with margins on several threads; moving its
    // content down by a few rows must move the result with it, bit for bit.
    constexpr int kShift = 37;
    PlanarImage image = noisyImage(50, 300, true, 5);
    PlanarImage shifted = noisyImage(50, 300 + kShift, true, 6);
    for (std::size_t plane = 0; plane < 4; ++plane) {
        std::copy(image.source[plane].begin(), image.source[plane].end(),
                  shifted.source[plane].begin() + shifted.index(0, kShift));
    }
    reduceNoise(image, {1.0f, 1.0f});
    reduceNoise(shifted, {1.0f, 1.0f});
    const int reach = 14;  // how far the passes together look
    for (std::size_t plane = 0; plane < 4; ++plane) {
        for (int y = reach; y < 300 - reach; ++y) {
            for (int x = 0; x < 50; ++x) {
                ASSERT_EQ(image.resultAt(plane, x, y), shifted.resultAt(plane, x, y + kShift))
                    << plane << " " << x << " " << y;
            }
        }
    }

    PlanarImage serial = noisyImage(50, 300, true, 5);
    {
        const tbb::global_control oneThread(tbb::global_control::max_allowed_parallelism, 1);
        reduceNoise(serial, {1.0f, 1.0f});
    }
    EXPECT_EQ(serial.result, image.result);
}

TEST(LumaChromaDenoiser, KeepsAPixelThatIsNotANumberToItself) {
    PlanarImage image = noisyImage(32, 32, false, 7);
    image.at(0, 10, 10) = NAN;
    reduceNoise(image, {1.0f, 1.0f});
    EXPECT_TRUE(std::isnan(image.resultAt(0, 10, 10)));
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            if (x != 10 || y != 10) ASSERT_TRUE(std::isfinite(image.resultAt(0, x, y))) << x << y;
        }
    }
}

}  // namespace
}  // namespace quillmere
