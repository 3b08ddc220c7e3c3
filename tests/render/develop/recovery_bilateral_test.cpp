#include "core/render/develop/recovery_bilateral.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace quillmere {
namespace {

// The filter as its definition reads, one texel at a time, summing in the same order.
float bilateralByDefinition(const GuideView& guide, int x, int y) {
    const float centre = guide.clampedAt(x, y);
    float sum = 0.0f, total = 0.0f;
    for (int oy = -kBilateralRadius; oy <= kBilateralRadius; ++oy) {
        for (int ox = -kBilateralRadius; ox <= kBilateralRadius; ++ox) {
            const float v = guide.clampedAt(x + ox, y + oy);
            const float spatial = msl::exp(-static_cast<float>(ox * ox + oy * oy) / 128.0f);
            const float weight = spatial * recoveryRangeWeight(v - centre);
            sum += weight * v;
            total += weight;
        }
    }
    return sum / total;
}

std::vector<float> noisyGuide(int width, int height) {
    std::vector<float> texels(static_cast<std::size_t>(width * height));
    std::uint32_t state = 12345;
    for (float& texel : texels) {
        state = state * 1664525u + 1013904223u;
        texel = static_cast<float>(state >> 8) / 16777216.0f * 8.0f - 4.0f;  // −4...4 EV
    }
    return texels;
}

TEST(RecoveryBilateral, EqualsItsDefinitionBitForBitWhateverTheRowSplit) {
    for (const auto& [width, height] : {std::pair{1, 1}, std::pair{3, 2}, std::pair{40, 31}}) {
        const std::vector<float> texels = noisyGuide(width, height);
        const GuideView guide{texels.data(), width, height};
        std::vector<float> whole(texels.size()), split(texels.size());
        recoveryBilateralRows(guide, 0, height, whole.data());
        for (int y = 0; y < height; ++y) recoveryBilateralRows(guide, y, y + 1, split.data());
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const auto i = static_cast<std::size_t>(y * width + x);
                EXPECT_EQ(whole[i], bilateralByDefinition(guide, x, y)) << x << "," << y;
                EXPECT_EQ(split[i], whole[i]);
            }
        }
    }
}

TEST(RecoveryBilateral, SmoothsWithinARegionAndKeepsEdgesOfMoreThanThreeEV) {
    const int width = 40, height = 30;
    std::vector<float> texels(static_cast<std::size_t>(width * height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const float ripple = ((x + y) % 2 == 0) ? 0.2f : -0.2f;
            texels[static_cast<std::size_t>(y * width + x)] = (x < 20 ? -2.0f : 4.0f) + ripple;
        }
    }
    std::vector<float> base(texels.size());
    recoveryBilateralRows({texels.data(), width, height}, 0, height, base.data());
    for (int y : {0, 15, 29}) {
        const float* row = &base[static_cast<std::size_t>(y * width)];
        EXPECT_NEAR(row[5], -2.0f, 0.1f);
        EXPECT_NEAR(row[19], -2.0f, 0.1f);
        EXPECT_NEAR(row[20], 4.0f, 0.1f);
        EXPECT_NEAR(row[39], 4.0f, 0.1f);
    }
}

}  // namespace
}  // namespace quillmere
