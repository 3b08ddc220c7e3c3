#include "core/decode/core_ml_denoiser.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cfloat>
#include <chrono>
#include <cmath>
#include <limits>
#include <thread>
#include <vector>

#include "core/common/error.h"
#include "core/decode/core_ml_denoiser_error.h"
#include "tests/decode/denoiser_test_support.h"

namespace quillmere {
namespace {

using namespace denoiser_testing;

void expectDenoiserError(const std::function<void()>& call, CoreMLDenoiserError::Code code,
                         const std::string& message) {
    try {
        call();
        ADD_FAILURE() << "no error; expected \"" << message << "\"";
    } catch (const CoreMLDenoiserError& error) {
        EXPECT_EQ(error.code(), code);
        EXPECT_EQ(std::string(error.what()), message);
    }
}

struct Layout {
    PixelFormat format;
    int width;
    int height;
};

class IdentityCopyTest : public ::testing::TestWithParam<Layout> {};

TEST_P(IdentityCopyTest, GivesBackEverySampleExactly) {
    const Layout layout = GetParam();
    const auto source =
        makeSensorTexture(layout.format, layout.width, layout.height, scatteredSample);
    CoreMLDenoiser denoiser(64, configuration(16), identityPrediction);
    const std::shared_ptr<Texture> result = denoiser.denoise(*source, kSomeNoise, device(), never);
    EXPECT_NE(result, source);
    EXPECT_EQ(result->pixelFormat(), layout.format);
    EXPECT_EQ(result->storageMode(), StorageMode::shared);
    EXPECT_EQ(result->usage(), TextureUsage::shaderRead | TextureUsage::shaderWrite);
    ASSERT_EQ(result->width(), layout.width);
    ASSERT_EQ(result->height(), layout.height);
    EXPECT_EQ(samplesOf(result), samplesOf(*source));
}

INSTANTIATE_TEST_SUITE_P(SizesAndFormats, IdentityCopyTest,
                         ::testing::Values(Layout{PixelFormat::rgba32Float, 1, 1},
                                           Layout{PixelFormat::rgba16Float, 1, 1},
                                           Layout{PixelFormat::rgba32Float, 7, 3},
                                           Layout{PixelFormat::rgba32Float, 100, 37},
                                           Layout{PixelFormat::rgba16Float, 131, 97},
                                           Layout{PixelFormat::rgba32Float, 1, 150}));

TEST(CoreMLDenoiserTest, ModelSeesClampedSamplesAndNoiseWhileTheExcessIsAddedBack) {
    const auto source = makeSensorTexture(PixelFormat::rgba32Float, 1, 1, [](int, int, int k) {
        return std::array{1.3f, -0.2f, 0.5f, 0.25f}[static_cast<std::size_t>(k)];
    });
    const CoreMLDenoiser::NoiseProfile noise{{0.01f, 0.02f, 0.03f, 0.04f},
                                             {0.001f, 0.002f, 0.003f, 0.004f}};
    int calls = 0;
    CoreMLDenoiser denoiser(16, configuration(4), [&](const cv::Mat& image) {
        ++calls;
        const auto* planes = reinterpret_cast<const float*>(image.data);
        for (std::size_t texel = 0; texel < 256; ++texel) {
            EXPECT_EQ(planes[0 * 256 + texel], 1.0f);
            EXPECT_EQ(planes[1 * 256 + texel], 0.0f);
            EXPECT_EQ(planes[2 * 256 + texel], 0.5f);
            EXPECT_EQ(planes[3 * 256 + texel], 0.25f);
            EXPECT_FLOAT_EQ(planes[4 * 256 + texel], std::sqrt(0.001f + 0.01f * 1.0f));
            EXPECT_FLOAT_EQ(planes[5 * 256 + texel], std::sqrt(0.002f));
            EXPECT_FLOAT_EQ(planes[6 * 256 + texel], std::sqrt(0.003f + 0.03f * 0.5f));
            EXPECT_FLOAT_EQ(planes[7 * 256 + texel], std::sqrt(0.004f + 0.04f * 0.25f));
        }
        cv::Mat prediction = emptyPrediction(16);
        prediction.setTo(0.5f);
        return prediction;
    });
    const std::vector<float> result = samplesOf(denoiser.denoise(*source, noise, device(), never));
    EXPECT_EQ(calls, 1);
    EXPECT_FLOAT_EQ(result[0], 0.5f + 0.3f);
    EXPECT_FLOAT_EQ(result[1], 0.5f - 0.2f);
    EXPECT_EQ(result[2], 0.5f);
    EXPECT_EQ(result[3], 0.5f);
}

TEST(CoreMLDenoiserTest, TilesAreReadRowByRowFromLeftToRightAtTheirOrigins) {
    // Channel 0 holds the column, channel 1 the row, both scaled into 0...1 so nothing is clamped.
    const auto source =
        makeSensorTexture(PixelFormat::rgba32Float, 100, 60, [](int x, int y, int k) {
            return k == 0 ? x / 1000.0f : k == 1 ? y / 1000.0f : 0.0f;
        });
    std::vector<std::pair<float, float>> firstTexels;
    CoreMLDenoiser denoiser(64, configuration(16), [&](const cv::Mat& image) {
        // Texel (8, 8) of a tile at origin (x0, y0) is image texel (x0 + 8, y0 + 8), never
        // reflected here.
        const auto* planes = reinterpret_cast<const float*>(image.data);
        firstTexels.emplace_back(std::round(planes[8 * 64 + 8] * 1000) - 8,
                                 std::round(planes[4096 + 8 * 64 + 8] * 1000) - 8);
        return identityPrediction(image);
    });
    denoiser.denoise(*source, kSomeNoise, device(), never);
    const std::vector<std::pair<float, float>> expected{{-8, -8}, {40, -8}, {88, -8},
                                                        {-8, 40}, {40, 40}, {88, 40}};
    EXPECT_EQ(firstTexels, expected);
}

TEST(CoreMLDenoiserTest, BadNoiseCoefficientsAreRejectedBeforeAnyTile) {
    const auto source = makeSensorTexture(PixelFormat::rgba32Float, 8, 8, scatteredSample);
    int calls = 0;
    CoreMLDenoiser denoiser(16, configuration(4), [&](const cv::Mat& image) {
        ++calls;
        return identityPrediction(image);
    });
    std::vector<CoreMLDenoiser::NoiseProfile> profiles(4, kSomeNoise);
    profiles[0].readVariance[2] = -1e-9f;
    profiles[1].shot[3] = -0.5f;
    profiles[2].shot[0] = std::numeric_limits<float>::quiet_NaN();
    profiles[3].readVariance[1] = std::numeric_limits<float>::infinity();
    for (const CoreMLDenoiser::NoiseProfile& profile : profiles) {
        int reports = 0;
        expectDenoiserError(
            [&] {
                denoiser.denoise(*source, profile, device(), never, [&](double) { ++reports; });
            },
            CoreMLDenoiserError::Code::invalidInput,
            "Cannot denoise this image: sensor noise coefficients must be finite and nonnegative");
        EXPECT_EQ(reports, 0);
    }
    EXPECT_EQ(calls, 0);
}

TEST(CoreMLDenoiserTest, NonFiniteSamplesAndOverflowingVarianceAreRejected) {
    CoreMLDenoiser denoiser(16, configuration(4), identityPrediction);
    for (const float bad :
         {std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::infinity()}) {
        const auto source = makeSensorTexture(
            PixelFormat::rgba32Float, 30, 30,
            [&](int x, int y, int k) { return x == 29 && y == 29 && k == 2 ? bad : 0.5f; });
        expectDenoiserError([&] { denoiser.denoise(*source, kSomeNoise, device(), never); },
                            CoreMLDenoiserError::Code::invalidInput,
                            "Cannot denoise this image: non-finite source pixel");
    }
    const auto bright =
        makeSensorTexture(PixelFormat::rgba32Float, 4, 4, [](int, int, int) { return 1.0f; });
    const CoreMLDenoiser::NoiseProfile huge{{FLT_MAX, FLT_MAX, FLT_MAX, FLT_MAX},
                                            {FLT_MAX, FLT_MAX, FLT_MAX, FLT_MAX}};
    expectDenoiserError([&] { denoiser.denoise(*bright, huge, device(), never); },
                        CoreMLDenoiserError::Code::invalidInput,
                        "Cannot denoise this image: sensor noise variance overflowed");
}

TEST(CoreMLDenoiserTest, OnlySharedFourChannelFloatTexturesAreDenoised) {
    CoreMLDenoiser denoiser(16, configuration(4), identityPrediction);
    const auto make = [](PixelFormat format, StorageMode storageMode) {
        return device().makeTexture({.pixelFormat = format,
                                     .width = 6,
                                     .height = 4,
                                     .usage = TextureUsage::shaderRead,
                                     .storageMode = storageMode});
    };
    for (const auto& texture : {make(PixelFormat::r32Float, StorageMode::shared),
                                make(PixelFormat::rg16Float, StorageMode::shared),
                                make(PixelFormat::rgba32Float, StorageMode::devicePrivate)}) {
        expectDenoiserError([&] { denoiser.denoise(*texture, kSomeNoise, device(), never); },
                            CoreMLDenoiserError::Code::invalidInput,
                            "Cannot denoise this image: expected a shared, two-dimensional "
                            "RGBA32Float or RGBA16Float texture");
    }
    // A device that cannot hold the result.
    const auto source = makeSensorTexture(PixelFormat::rgba32Float, 40, 40, scatteredSample);
    const Device small(1024);
    expectDenoiserError([&] { denoiser.denoise(*source, kSomeNoise, small, never); },
                        CoreMLDenoiserError::Code::allocationFailed,
                        "Could not allocate memory for the denoised image.");
}

TEST(CoreMLDenoiserTest, TheFirstFaultInReadingOrderIsReported) {
    // Under these coefficients a sample of 1 overflows the variance while a sample of 0 does not.
    const CoreMLDenoiser::NoiseProfile huge{{FLT_MAX, FLT_MAX, FLT_MAX, FLT_MAX},
                                            {FLT_MAX, 0, 0, 0}};
    const float nan = std::numeric_limits<float>::quiet_NaN();
    CoreMLDenoiser denoiser(32, configuration(8), identityPrediction);
    const auto nanFirst =
        makeSensorTexture(PixelFormat::rgba32Float, 20, 20, [&](int x, int y, int k) {
            return y == 2 && x == 19 && k == 3 ? nan : y >= 15 ? 1.0f : 0.0f;
        });
    expectDenoiserError([&] { denoiser.denoise(*nanFirst, huge, device(), never); },
                        CoreMLDenoiserError::Code::invalidInput,
                        "Cannot denoise this image: non-finite source pixel");
    const auto overflowFirst =
        makeSensorTexture(PixelFormat::rgba32Float, 20, 20, [&](int x, int y, int k) {
            return y == 18 && x == 0 && k == 1 ? nan : y == 3 && x == 7 && k == 0 ? 1.0f : 0.0f;
        });
    expectDenoiserError([&] { denoiser.denoise(*overflowFirst, huge, device(), never); },
                        CoreMLDenoiserError::Code::invalidInput,
                        "Cannot denoise this image: sensor noise variance overflowed");
}

TEST(CoreMLDenoiserTest, NonFinitePredictionFailsEvenOutsideTheImage) {
    const auto source = makeSensorTexture(PixelFormat::rgba32Float, 10, 10, scatteredSample);
    // Tile texel (0, 0) sits at image position (-8, -8), outside the image.
    CoreMLDenoiser denoiser(64, configuration(16), [](const cv::Mat& image) {
        cv::Mat prediction = identityPrediction(image);
        prediction.ptr<float>()[3 * 64 * 64] = std::numeric_limits<float>::quiet_NaN();
        return prediction;
    });
    expectDenoiserError([&] { denoiser.denoise(*source, kSomeNoise, device(), never); },
                        CoreMLDenoiserError::Code::invalidOutput,
                        "The denoise model returned invalid pixels: non-finite prediction");
}

TEST(CoreMLDenoiserTest, PredictionsOfTheWrongShapeOrTypeAreRejected) {
    const auto source = makeSensorTexture(PixelFormat::rgba32Float, 10, 10, scatteredSample);
    const std::vector<std::function<cv::Mat(int)>> wrongPredictions{
        [](int t) {
            const int shape[] = {1, 3, t, t};
            return cv::Mat(4, shape, CV_32F, cv::Scalar(0));
        },
        [](int t) {
            const int shape[] = {1, 4, t, t};
            return cv::Mat(4, shape, CV_64F, cv::Scalar(0));
        },
        [](int t) {
            const int shape[] = {4, t, t};
            return cv::Mat(3, shape, CV_32F, cv::Scalar(0));
        },
        [](int t) {
            const int shape[] = {1, 4, t, t + 1};
            return cv::Mat(4, shape, CV_32F, cv::Scalar(0));
        },
        [](int) { return cv::Mat(); },
    };
    for (const auto& wrong : wrongPredictions) {
        CoreMLDenoiser denoiser(16, configuration(4), [&](const cv::Mat&) { return wrong(16); });
        expectDenoiserError(
            [&] { denoiser.denoise(*source, kSomeNoise, device(), never); },
            CoreMLDenoiserError::Code::invalidOutput,
            "The denoise model returned invalid pixels: unexpected shape or scalar type");
    }
}

TEST(CoreMLDenoiserTest, StridedPredictionsAreReadThroughTheirStrides) {
    const auto source = makeSensorTexture(PixelFormat::rgba32Float, 40, 23, scatteredSample);
    // The sample planes of the input itself (a view with the input's plane stride), and a copy
    // whose rows are padded.
    CoreMLDenoiser view(16, configuration(4), [](const cv::Mat& image) {
        const cv::Range ranges[] = {cv::Range::all(), cv::Range(0, 4), cv::Range::all(),
                                    cv::Range::all()};
        return image(ranges);
    });
    EXPECT_EQ(samplesOf(view.denoise(*source, kSomeNoise, device(), never)), samplesOf(*source));
    CoreMLDenoiser padded(16, configuration(4), [](const cv::Mat& image) {
        const int shape[] = {1, 4, 16, 21};
        cv::Mat wide(4, shape, CV_32F, cv::Scalar(7));
        const cv::Range ranges[] = {cv::Range::all(), cv::Range::all(), cv::Range::all(),
                                    cv::Range(2, 18)};
        cv::Mat inner = wide(ranges);
        const cv::Range samples[] = {cv::Range::all(), cv::Range(0, 4), cv::Range::all(),
                                     cv::Range::all()};
        image(samples).copyTo(inner);
        return inner;
    });
    EXPECT_EQ(samplesOf(padded.denoise(*source, kSomeNoise, device(), never)), samplesOf(*source));
}

TEST(CoreMLDenoiserTest, HalfFloatResultsMustStayWithinTheLargestFiniteHalf) {
    const auto constantModel = [](float value) {
        return [value](const cv::Mat&) {
            cv::Mat prediction = emptyPrediction(16);
            prediction.setTo(value);
            return prediction;
        };
    };
    const auto middleGrey = [](PixelFormat format) {
        return makeSensorTexture(format, 9, 5, [](int, int, int) { return 0.5f; });
    };
    CoreMLDenoiser largest(16, configuration(4), constantModel(65504.0f));
    EXPECT_EQ(samplesOf(largest.denoise(*middleGrey(PixelFormat::rgba16Float), kSomeNoise, device(),
                                        never))[0],
              65504.0f);
    CoreMLDenoiser beyond(16, configuration(4), constantModel(65505.0f));
    expectDenoiserError(
        [&] { beyond.denoise(*middleGrey(PixelFormat::rgba16Float), kSomeNoise, device(), never); },
        CoreMLDenoiserError::Code::invalidOutput,
        "The denoise model returned invalid pixels: pixel exceeds the finite texture range");
    EXPECT_EQ(samplesOf(beyond.denoise(*middleGrey(PixelFormat::rgba32Float), kSomeNoise, device(),
                                       never))[0],
              65505.0f);
    // A prediction finite in itself whose blend overflows 32-bit floats is caught as well.
    CoreMLDenoiser overflowing(16, configuration(4), constantModel(FLT_MAX));
    const auto huge =
        makeSensorTexture(PixelFormat::rgba32Float, 3, 3, [](int, int, int) { return FLT_MAX; });
    expectDenoiserError(
        [&] { overflowing.denoise(*huge, kSomeNoise, device(), never); },
        CoreMLDenoiserError::Code::invalidOutput,
        "The denoise model returned invalid pixels: pixel exceeds the finite texture range");
}

TEST(CoreMLDenoiserTest, ProgressStartsAtZeroAndCountsTiles) {
    const auto source = makeSensorTexture(PixelFormat::rgba32Float, 100, 50, scatteredSample);
    CoreMLDenoiser denoiser(64, configuration(16), identityPrediction);
    std::vector<double> reports;
    const std::shared_ptr<Texture> reported =
        denoiser.denoise(*source, kSomeNoise, device(), never,
                         [&](double fraction) { reports.push_back(fraction); });
    // Three tile columns and two tile rows.
    EXPECT_EQ(reports, (std::vector<double>{0, 1.0 / 6, 2.0 / 6, 3.0 / 6, 4.0 / 6, 5.0 / 6, 1}));
    EXPECT_EQ(samplesOf(denoiser.denoise(*source, kSomeNoise, device(), never)),
              samplesOf(reported));
}

TEST(CoreMLDenoiserTest, CancellationIsHonouredBeforeStartingBetweenTilesAndAfterTheLastTile) {
    const auto source = makeSensorTexture(PixelFormat::rgba32Float, 100, 50, scatteredSample);
    int calls = 0;
    CoreMLDenoiser denoiser(64, configuration(16), [&](const cv::Mat& image) {
        ++calls;
        return identityPrediction(image);
    });
    EXPECT_THROW(denoiser.denoise(*source, kSomeNoise, device(), [] { return true; }),
                 CancellationError);
    EXPECT_EQ(calls, 0);

    EXPECT_THROW(denoiser.denoise(*source, kSomeNoise, device(), [&] { return calls >= 1; }),
                 CancellationError);
    EXPECT_EQ(calls, 1);

    // Every tile has been evaluated when the cancellation comes; the result is still dropped.
    calls = 0;
    EXPECT_THROW(denoiser.denoise(*source, kSomeNoise, device(), [&] { return calls == 6; }),
                 CancellationError);
    EXPECT_EQ(calls, 6);
}

TEST(CoreMLDenoiserTest, CancellationIsAskedOnlyAtItsFixedPoints) {
    // Tiles of 8 with an overlap of 7 start at -3, -2, -1 on a texture 4 rows high: only the last
    // tile row finishes image rows, so only it asks before writing them.
    const auto source = makeSensorTexture(PixelFormat::rgba32Float, 1, 4, scatteredSample);
    CoreMLDenoiser denoiser(8, configuration(7), identityPrediction);
    ASSERT_EQ(CoreMLDenoiser::tileOrigins(4, 8, 7), (std::vector<int>{-3, -2, -1}));
    int questions = 0;
    denoiser.denoise(*source, kSomeNoise, device(), [&] {
        ++questions;
        return false;
    });
    // Twice before starting, once per tile, once per tile row that writes rows, once at the end.
    EXPECT_EQ(questions, 2 + 3 + 1 + 1);
}

TEST(CoreMLDenoiserTest, OneDenoiserServesOneCallAtATime) {
    const auto source = makeSensorTexture(PixelFormat::rgba32Float, 60, 60, scatteredSample);
    std::atomic<int> running{0};
    std::atomic<bool> overlapped{false};
    CoreMLDenoiser denoiser(16, configuration(4), [&](const cv::Mat& image) {
        if (running.fetch_add(1) != 0) {
            overlapped = true;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        running.fetch_sub(1);
        return identityPrediction(image);
    });
    std::vector<float> first;
    std::vector<float> second;
    std::thread other(
        [&] { first = samplesOf(denoiser.denoise(*source, kSomeNoise, device(), never)); });
    second = samplesOf(denoiser.denoise(*source, kSomeNoise, device(), never));
    other.join();
    EXPECT_FALSE(overlapped);
    EXPECT_EQ(first, samplesOf(*source));
    EXPECT_EQ(second, samplesOf(*source));
}

}  // namespace
}  // namespace quillmere
