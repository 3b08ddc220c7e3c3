#include "core/decode/core_ml_denoiser.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cfloat>
#include <cmath>
#include <limits>
#include <numbers>
#include <thread>

#include "core/decode/core_ml_denoiser_error.h"
#include "tests/decode/denoiser_test_support.h"

namespace quillmere {
namespace {

using namespace denoiser_testing;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

TEST(CoreMLDenoiserTilingTest, TilesStartHalfAnOverlapEarlyAndFeatherWithSineSquared) {
    const struct {
        int length, size, overlap;
        std::vector<int> origins;
    } cases[] = {
        {100, 64, 16, {-8, 40, 88}}, {1, 64, 16, {-8}},
        {48, 64, 16, {-8}},                                       // the first tile's reach exactly
        {49, 64, 16, {-8, 40}},      {20, 8, 3, {-1, 4, 9, 14}},  // an odd overlap
        {4, 8, 7, {-3, -2, -1}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CoreMLDenoiser::tileOrigins(c.length, c.size, c.overlap), c.origins) << c.length;
    }
    const std::vector<float> weights = CoreMLDenoiser::feather(64, 16);
    for (int i = 0; i < 64; ++i) {
        const int distance = std::min(i, 63 - i);
        const double ramp = std::sin(std::numbers::pi / 2 * (distance + 0.5) / 16);
        EXPECT_FLOAT_EQ(weights[static_cast<std::size_t>(i)],
                        distance < 16 ? static_cast<float>(ramp * ramp) : 1.0f)
            << i;
    }
    for (const auto& [size, overlap] :
         std::vector<std::pair<int, int>>{{2049, 64}, {64, 0}, {64, 64}, {0, 0}, {64, -1}}) {
        EXPECT_THROW(CoreMLDenoiser(size, configuration(overlap), identityPrediction),
                     CoreMLDenoiserError)
            << size << " " << overlap;
    }
    EXPECT_NO_THROW(CoreMLDenoiser(2048, configuration(2047), identityPrediction));
}

TEST(CoreMLDenoiserTilingTest, ReadsMirrorAtTheEdgesWithoutRepeatingThem) {
    const auto coordinates = [](int x, int y, int channel) {
        return channel == 0 ? static_cast<float>(x) : channel == 1 ? static_cast<float>(y) : 0.5f;
    };
    const auto small = makeSensorTexture(PixelFormat::rgba16Float, 5, 3, coordinates);
    std::vector<float> tile(8 * 8 * 4);
    CoreMLDenoiser::readReflectedTile(*small, -2, -1, 8, tile);
    const float columns[] = {2, 1, 0, 1, 2, 3, 4, 3}, rows[] = {1, 0, 1, 2, 1, 0, 1, 2};
    for (std::size_t texel = 0; texel < 64; ++texel) {
        EXPECT_EQ(tile[texel * 4], columns[texel % 8]);
        EXPECT_EQ(tile[texel * 4 + 1], rows[texel / 8]);
    }
}

TEST(CoreMLDenoiserTest, ModelSeesClampedSamplesAndNoiseWhileTheExcessIsAddedBack) {
    const auto source = makeSensorTexture(PixelFormat::rgba32Float, 1, 1, [](int, int, int k) {
        return std::array{1.3f, -0.2f, 0.5f, 0.25f}[static_cast<std::size_t>(k)];
    });
    const CoreMLDenoiser::NoiseProfile noise{{0.01f, 0.02f, 0.03f, 0.04f},
                                             {0.001f, 0.002f, 0.003f, 0.004f}};
    CoreMLDenoiser denoiser(16, configuration(4), [&](const cv::Mat& image) {
        // Texel (1, 1) of each plane: the samples limited to 0...1, then their noise deviations.
        const auto* planes = reinterpret_cast<const float*>(image.data);
        const float clamped[] = {1.0f, 0.0f, 0.5f, 0.25f};
        for (std::size_t k = 0; k < 4; ++k) {
            EXPECT_FLOAT_EQ(planes[k * 256 + 17], clamped[k]) << k;
            EXPECT_FLOAT_EQ(planes[(k + 4) * 256 + 17],
                            std::sqrt(noise.readVariance[k] + noise.shot[k] * clamped[k]))
                << k;
        }
        cv::Mat prediction = emptyPrediction(16);
        prediction.setTo(0.5f);
        return prediction;
    });
    const std::vector<float> result = samplesOf(*denoiser.denoise(*source, noise, device(), never));
    const float expected[] = {0.8f, 0.3f, 0.5f, 0.5f};
    for (std::size_t k = 0; k < 4; ++k) EXPECT_FLOAT_EQ(result[k], expected[k]);
}

TEST(CoreMLDenoiserTest, RefusesWhatItCannotDenoiseWithTheReason) {
    using Code = CoreMLDenoiserError::Code;
    const auto grey = [](float value, PixelFormat format = PixelFormat::rgba32Float) {
        return makeSensorTexture(format, 20, 20, [=](int, int, int) { return value; });
    };
    const auto constant = [](float value) {
        return [value](const cv::Mat&) {
            cv::Mat prediction = emptyPrediction(16);
            prediction.setTo(value);
            return prediction;
        };
    };
    const auto threePlanes = [](const cv::Mat&) {
        return cv::Mat(std::vector<int>{1, 3, 16, 16}, CV_32F, cv::Scalar(0));
    };
    auto negativeRead = kSomeNoise, nanShot = kSomeNoise;
    negativeRead.readVariance[2] = -1e-9f;
    nanShot.shot[0] = kNaN;
    const CoreMLDenoiser::NoiseProfile huge{{FLT_MAX, FLT_MAX, FLT_MAX, FLT_MAX},
                                            {FLT_MAX, 0, 0, 0}};
    // A NaN at (nx, ny); under `huge` noise the samples of 1 from row 15 on overflow.
    const auto nanAt = [](int nx, int ny) {
        return makeSensorTexture(PixelFormat::rgba32Float, 20, 20, [=](int x, int y, int k) {
            return x == nx && y == ny && k == 3 ? kNaN : y >= 15 ? 1.0f : 0.0f;
        });
    };
    const CoreMLDenoiser::Predictor nanOutside = [](const cv::Mat& image) {
        cv::Mat prediction = identityPrediction(image);
        prediction.ptr<float>()[0] = kNaN;  // tile texel (0, 0) lies at image texel (-2, -2)
        return prediction;
    };
    const auto privateTexture = device().makeTexture(
        {PixelFormat::rgba32Float, 6, 4, TextureUsage::shaderRead, StorageMode::devicePrivate});
    const Device small(1024);
    const struct {
        const char* name;
        std::shared_ptr<Texture> source;
        CoreMLDenoiser::NoiseProfile noise;
        CoreMLDenoiser::Predictor model;
        const Device& target;
        Code code;
        const char* reason;
        bool beforeAnyTile = false;
    } cases[] = {
        {"negative read noise", grey(0.5f), negativeRead, identityPrediction, device(),
         Code::invalidInput, "sensor noise coefficients must be finite and nonnegative", true},
        {"NaN shot noise", grey(0.5f), nanShot, identityPrediction, device(), Code::invalidInput,
         "sensor noise coefficients must be finite and nonnegative", true},
        {"NaN sample", nanAt(19, 19), kSomeNoise, identityPrediction, device(), Code::invalidInput,
         "non-finite source pixel"},
        {"overflowing variance", grey(1.0f), huge, identityPrediction, device(), Code::invalidInput,
         "sensor noise variance overflowed"},
        // Rows are checked in parallel, yet the fault met first in reading order is reported.
        {"NaN before the overflow", nanAt(19, 2), huge, identityPrediction, device(),
         Code::invalidInput, "non-finite source pixel"},
        {"private texture", privateTexture, kSomeNoise, identityPrediction, device(),
         Code::invalidInput,
         "expected a shared, two-dimensional RGBA32Float or RGBA16Float texture"},
        {"no room for the result", grey(0.5f), kSomeNoise, identityPrediction, small,
         Code::allocationFailed, nullptr},
        {"NaN predicted outside the image", grey(0.5f), kSomeNoise, nanOutside, device(),
         Code::invalidOutput, "non-finite prediction"},
        {"three planes", grey(0.5f), kSomeNoise, threePlanes, device(), Code::invalidOutput,
         "unexpected shape or scalar type"},
        {"beyond the largest half", grey(0.5f, PixelFormat::rgba16Float), kSomeNoise,
         constant(65505.0f), device(), Code::invalidOutput,
         "pixel exceeds the finite texture range"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        int predictions = 0;
        CoreMLDenoiser denoiser(16, configuration(4), [&](const cv::Mat& image) {
            ++predictions;
            return c.model(image);
        });
        try {
            denoiser.denoise(*c.source, c.noise, c.target, never);
            ADD_FAILURE() << "denoised";
        } catch (const CoreMLDenoiserError& error) {
            EXPECT_EQ(error.code(), c.code);
            if (c.reason) {
                EXPECT_TRUE(std::string(error.what()).ends_with(c.reason)) << error.what();
            }
        }
        if (c.beforeAnyTile) {
            EXPECT_EQ(predictions, 0);
        }
    }
    CoreMLDenoiser largest(16, configuration(4), constant(65504.0f));
    EXPECT_EQ(samplesOf(*largest.denoise(*grey(0.5f, PixelFormat::rgba16Float), kSomeNoise,
                                         device(), never))[0],
              65504.0f);
}

TEST(CoreMLDenoiserTest, ReportsProgressPerTileAndHonoursCancellationBetweenTiles) {
    const auto source = makeSensorTexture(PixelFormat::rgba32Float, 100, 50, scatteredSample);
    int calls = 0;
    CoreMLDenoiser denoiser(64, configuration(16), [&](const cv::Mat& image) {
        ++calls;
        return identityPrediction(image);
    });
    std::vector<double> reports;
    denoiser.denoise(*source, kSomeNoise, device(), never,
                     [&](double fraction) { reports.push_back(fraction); });
    // Three tile columns and two tile rows.
    EXPECT_EQ(reports, (std::vector<double>{0, 1.0 / 6, 2.0 / 6, 3.0 / 6, 4.0 / 6, 5.0 / 6, 1}));
    for (const int cancelAfter : {0, 1, 6}) {
        calls = 0;
        EXPECT_THROW(
            denoiser.denoise(*source, kSomeNoise, device(), [&] { return calls >= cancelAfter; }),
            CancellationError);
        EXPECT_EQ(calls, cancelAfter) << "the result of every tile is dropped";
    }
}

TEST(CoreMLDenoiserTest, OneDenoiserServesOneCallAtATime) {
    const auto source = makeSensorTexture(PixelFormat::rgba32Float, 60, 60, scatteredSample);
    std::atomic<int> running{0};
    std::atomic<bool> overlapped{false};
    CoreMLDenoiser denoiser(16, configuration(4), [&](const cv::Mat& image) {
        if (running.fetch_add(1) != 0) overlapped = true;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        running.fetch_sub(1);
        return identityPrediction(image);
    });
    std::thread other([&] { denoiser.denoise(*source, kSomeNoise, device(), never); });
    EXPECT_EQ(samplesOf(*denoiser.denoise(*source, kSomeNoise, device(), never)),
              samplesOf(*source));
    other.join();
    EXPECT_FALSE(overlapped);
}

}  // namespace
}  // namespace quillmere
