#include <gtest/gtest.h>

#include <array>

#include "tests/rawbridge/bridge_test_support.h"

namespace quillmere::rawbridge {
namespace {

using testing::developOriginal;
using testing::TemporaryFolder;

TEST(FullDevelopment, DevelopsWithTheCameraWhiteBalanceIntoLinearSRGBBottomRowFirst) {
    // A grey card brightening down the sensor: 0.05 + 0.01 y in green.
    fixtures::SyntheticDNGOptions ramp = testing::greyCard();
    ramp.scene = [](int, int y) {
        const float level = 0.05f + 0.01f * static_cast<float>(y);
        return std::array<float, 3>{level * 0.5f, level, level * 0.75f};
    };
    const TemporaryFolder folder;
    const auto developed = developOriginal(folder.dng("ramp.dng", ramp));
    ASSERT_EQ(developed.result, 0) << developed.error;
    EXPECT_EQ((std::array{developed.width, developed.height}), (std::array{64, 48}));
    EXPECT_EQ(developed.iso, 200.0f);
    // Buffer row `row` holds the sensor's row 47 - row.
    for (const auto& [x, row] : {std::pair{5, 5}, std::pair{32, 24}, std::pair{58, 40}}) {
        const float grey = 0.05f + 0.01f * static_cast<float>(47 - row);
        for (int channel = 0; channel < 4; ++channel) {
            EXPECT_NEAR(developed.at(x, row, channel), channel == 3 ? 1.0f : grey, 0.003f);
        }
    }
}

}  // namespace
}  // namespace quillmere::rawbridge
