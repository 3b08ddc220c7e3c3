#include "core/render/spot/spot_repair_mask.h"

#include <gtest/gtest.h>

#include <limits>

#include "core/common/error.h"

namespace quillmere {
namespace {

const std::function<bool()> kNeverCancel = [] { return false; };

SpotRepair repairAt(double x, double y, double radius, std::vector<SpotRepair::Point> path = {}) {
    return SpotRepair(UUID::random(), x, y, radius, std::move(path));
}

TEST(SpotRepairMask, CoversPixelsWithinTheRadiusPlusOnePixelOfTheStroke) {
    // Short side 100, radius 0.1: a disc of 11 px around texture pixel (60, 50).
    const SpotRepairMask dab({repairAt(0.5, 0.5, 0.1)}, 120, 100, kNeverCancel);
    ASSERT_EQ(dab.integral.size(), 121u * 101u);
    int covered = 0;
    for (int y = 0; y < 100; ++y) {
        for (int x = 0; x < 120; ++x) {
            const double dx = x + 0.5 - 60, dy = y + 0.5 - 50;
            covered += dx * dx + dy * dy <= 121 ? 1 : 0;
        }
    }
    EXPECT_EQ(dab.integral.back(), covered);
    EXPECT_FALSE(dab.isClean({71, 50}, 0.5f));  // the square [70, 72) reaches pixel 70
    EXPECT_TRUE(dab.isClean({72, 50}, 0.5f));   // [71, 73): centres 11.5 px away
    EXPECT_TRUE(dab.isClean({100, 20}, 10.0f));

    // Capsules join the stroke's points; y is measured from the top, rows from the bottom.
    const SpotRepairMask stroke({repairAt(0.2, 0.5, 0.02, {{0.8, 0.5}, {0.8, 0.9}})}, 100, 100,
                                kNeverCancel);
    EXPECT_FALSE(stroke.isClean({50, 50}, 0.5f));
    EXPECT_FALSE(stroke.isClean({80, 30}, 0.5f));
    EXPECT_TRUE(stroke.isClean({80, 70}, 0.5f));
    EXPECT_TRUE(stroke.isClean({50, 56}, 0.5f));  // 5.5 px beside the stroke
}

TEST(SpotRepairMask, SquaresReachingBeyondTheImageOrWithNaNAreNeverClean) {
    const SpotRepairMask mask({}, 10, 8, kNeverCancel);
    EXPECT_TRUE(mask.isClean({1, 1}, 1.0f));
    EXPECT_TRUE(mask.isClean({9, 7}, 1.0f));
    EXPECT_FALSE(mask.isClean({0.5f, 4}, 1.0f));
    EXPECT_FALSE(mask.isClean({5, 7.5f}, 1.0f));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_FALSE(mask.isClean({nan, 4}, 1.0f));
    EXPECT_FALSE(mask.isClean({5, 4}, nan));
}

TEST(SpotRepairMask, PollsForCancellationPerSegmentAndPerRow) {
    const std::vector<SpotRepair> repairs{repairAt(0.5, 0.5, 0.05),
                                          repairAt(0.2, 0.2, 0.05, {{0.3, 0.3}, {0.4, 0.2}})};
    int polls = 0;
    SpotRepairMask(repairs, 10, 8, [&] { return ++polls < 0; });
    EXPECT_EQ(polls, 1 + 3 + 8);
    for (int cancelAt = 1; cancelAt <= polls; ++cancelAt) {
        int calls = 0;
        EXPECT_THROW(SpotRepairMask(repairs, 10, 8, [&] { return ++calls == cancelAt; }),
                     CancellationError)
            << "cancelled at poll " << cancelAt;
    }
}

}  // namespace
}  // namespace quillmere
