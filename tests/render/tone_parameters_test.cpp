#include "core/render/tone_parameters.h"

#include <gtest/gtest.h>

namespace quillmere {
namespace {

TEST(RecoveryGuideSizeTest, ScalesTheLongSideToAtMost256) {
    EXPECT_EQ(recoveryGuideSize(6000, 4000), (GridSize{256, 171}));
    EXPECT_EQ(recoveryGuideSize(4000, 6000), (GridSize{171, 256}));
    EXPECT_EQ(recoveryGuideSize(2048, 1365), (GridSize{256, 171}));  // 170.625 rounds up
    EXPECT_EQ(recoveryGuideSize(512, 255), (GridSize{256, 128}));    // 127.5: half away from 0
    EXPECT_EQ(recoveryGuideSize(256, 256), (GridSize{256, 256}));
}

TEST(RecoveryGuideSizeTest, NeverEnlargesAndKeepsAtLeastOneTexel) {
    EXPECT_EQ(recoveryGuideSize(1, 1), (GridSize{1, 1}));
    EXPECT_EQ(recoveryGuideSize(200, 3), (GridSize{200, 3}));
    EXPECT_EQ(recoveryGuideSize(30000, 20), (GridSize{256, 1}));
}

}  // namespace
}  // namespace quillmere
