#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "core/decode/core_ml_denoiser.h"
#include "core/decode/core_ml_denoiser_error.h"
#include "tests/decode/denoiser_test_support.h"

namespace quillmere {
namespace {

using namespace denoiser_testing;

TEST(CoreMLDenoiserTilingTest, TileOriginsStartHalfAnOverlapEarlyAndStopOnceTheImageIsCovered) {
    EXPECT_EQ(CoreMLDenoiser::tileOrigins(100, 64, 16), (std::vector<int>{-8, 40, 88}));
    EXPECT_EQ(CoreMLDenoiser::tileOrigins(1, 64, 16), (std::vector<int>{-8}));
    // 48 texels are the first tile's reach exactly; one more needs a second tile.
    EXPECT_EQ(CoreMLDenoiser::tileOrigins(48, 64, 16), (std::vector<int>{-8}));
    EXPECT_EQ(CoreMLDenoiser::tileOrigins(49, 64, 16), (std::vector<int>{-8, 40}));
    // An odd overlap shares its extra texel with the next tile.
    EXPECT_EQ(CoreMLDenoiser::tileOrigins(20, 8, 3), (std::vector<int>{-1, 4, 9, 14}));
}

TEST(CoreMLDenoiserTilingTest, EveryTexelLiesInsideSomeTilesInnerPart) {
    for (const int overlap : {1, 2, 16, 63}) {
        for (int length = 1; length <= 300; ++length) {
            const std::vector<int> origins = CoreMLDenoiser::tileOrigins(length, 64, overlap);
            const int half = overlap / 2;
            EXPECT_GE(origins.back() + 64 - half, length);
            if (origins.size() > 1) {
                EXPECT_LT(origins[origins.size() - 2] + 64 - half, length);
            }
            for (int x = 0; x < length; ++x) {
                bool inner = false;
                for (const int origin : origins) {
                    inner = inner || (x >= origin + half && x < origin + 64 - half);
                }
                ASSERT_TRUE(inner) << "length " << length << " overlap " << overlap << " x " << x;
            }
        }
    }
}

TEST(CoreMLDenoiserTilingTest, FeatherRampsWithSineSquaredAndNeverReachesZero) {
    const std::vector<float> weights = CoreMLDenoiser::feather(64, 16);
    ASSERT_EQ(weights.size(), 64u);
    for (int i = 0; i < 64; ++i) {
        EXPECT_EQ(weights[static_cast<std::size_t>(i)], weights[static_cast<std::size_t>(63 - i)]);
        EXPECT_GT(weights[static_cast<std::size_t>(i)], 0.0f);
    }
    const double first = std::sin(std::numbers::pi / 2 * 0.5 / 16);
    EXPECT_FLOAT_EQ(weights[0], static_cast<float>(first * first));
    EXPECT_LT(weights[15], 1.0f);
    EXPECT_EQ(weights[16], 1.0f);
    EXPECT_EQ(weights[31], 1.0f);
    // Overlapping ramps of neighbouring tiles add up to (nearly) one.
    for (int d = 0; d < 16; ++d) {
        EXPECT_NEAR(
            weights[static_cast<std::size_t>(d)] + weights[static_cast<std::size_t>(15 - d)], 1.0,
            1e-6);
    }
}

TEST(CoreMLDenoiserTilingTest, TileSizeAndOverlapLimits) {
    const auto predictor = [](const cv::Mat& image) { return identityPrediction(image); };
    EXPECT_NO_THROW(CoreMLDenoiser(2048, configuration(2047), predictor));
    EXPECT_NO_THROW(CoreMLDenoiser(2, configuration(1), predictor));
    for (const auto& [tileSize, overlap] : std::vector<std::pair<int, int>>{
             {2049, 64}, {64, 0}, {64, 64}, {0, 0}, {1, 1}, {64, -1}}) {
        try {
            CoreMLDenoiser denoiser(tileSize, configuration(overlap), predictor);
            ADD_FAILURE() << "accepted tile " << tileSize << " overlap " << overlap;
        } catch (const CoreMLDenoiserError& error) {
            EXPECT_EQ(error.code(), CoreMLDenoiserError::Code::invalidModel);
            EXPECT_STREQ(error.what(),
                         "The local denoise model is incompatible: invalid tile size or overlap");
        }
    }
}

// Channel 0 holds the column, channel 1 the row, so a read tells where each texel came from.
float coordinateSample(int x, int y, int channel) {
    return channel == 0 ? static_cast<float>(x) : channel == 1 ? static_cast<float>(y) : 0.5f;
}

TEST(CoreMLDenoiserTilingTest, ReflectedReadsMirrorWithoutRepeatingTheEdge) {
    for (const PixelFormat format : {PixelFormat::rgba32Float, PixelFormat::rgba16Float}) {
        const auto texture = makeSensorTexture(format, 5, 3, coordinateSample);
        std::vector<float> tile(8 * 8 * 4);
        CoreMLDenoiser::readReflectedTile(*texture, -2, -1, 8, tile);
        // Columns -2 ... 5 of a 5-wide texture are 2 1 0 1 2 3 4 3; rows -1 ... 6 of a 3-high
        // texture are 1 0 1 2 1 0 1 2.
        const std::vector<float> columns{2, 1, 0, 1, 2, 3, 4, 3};
        const std::vector<float> rows{1, 0, 1, 2, 1, 0, 1, 2};
        for (std::size_t r = 0; r < 8; ++r) {
            for (std::size_t c = 0; c < 8; ++c) {
                const float* texel = &tile[(r * 8 + c) * 4];
                EXPECT_EQ(texel[0], columns[c]);
                EXPECT_EQ(texel[1], rows[r]);
                EXPECT_EQ(texel[2], 0.5f);
            }
        }
    }
}

TEST(CoreMLDenoiserTilingTest, OneTexelTextureFillsTheWholeTile) {
    const auto texture = makeSensorTexture(PixelFormat::rgba16Float, 1, 1,
                                           [](int, int, int k) { return 0.25f * k - 0.5f; });
    std::vector<float> tile(16 * 16 * 4);
    CoreMLDenoiser::readReflectedTile(*texture, -8, -8, 16, tile);
    for (std::size_t texel = 0; texel < 16 * 16; ++texel) {
        for (std::size_t k = 0; k < 4; ++k) {
            EXPECT_EQ(tile[texel * 4 + k], 0.25f * static_cast<float>(k) - 0.5f);
        }
    }
}

TEST(CoreMLDenoiserTilingTest, InteriorReadIsTheSquareAtItsCorner) {
    for (const PixelFormat format : {PixelFormat::rgba32Float, PixelFormat::rgba16Float}) {
        const auto texture = makeSensorTexture(format, 20, 10, coordinateSample);
        std::vector<float> tile(4 * 4 * 4);
        CoreMLDenoiser::readReflectedTile(*texture, 16, 6, 4, tile);
        for (std::size_t r = 0; r < 4; ++r) {
            for (std::size_t c = 0; c < 4; ++c) {
                EXPECT_EQ(tile[(r * 4 + c) * 4], static_cast<float>(16 + c));
                EXPECT_EQ(tile[(r * 4 + c) * 4 + 1], static_cast<float>(6 + r));
            }
        }
    }
}

}  // namespace
}  // namespace quillmere
