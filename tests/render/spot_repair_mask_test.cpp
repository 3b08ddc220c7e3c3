#include "core/render/spot_repair_mask.h"

#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>

#include "core/common/error.h"

namespace quillmere {
namespace {

const std::function<bool()> kNeverCancel = [] { return false; };

SpotRepair repairAt(double x, double y, double radius, std::vector<SpotRepair::Point> path = {}) {
    return SpotRepair(UUID::random(), x, y, radius, std::move(path));
}

// The covered count of one pixel, from the summed-area table.
int coveredAt(const SpotRepairMask& mask, std::int64_t x, std::int64_t y) {
    const auto at = [&](std::int64_t column, std::int64_t row) {
        return mask.integral[static_cast<std::size_t>(row * (mask.width + 1) + column)];
    };
    return at(x + 1, y + 1) - at(x, y + 1) - at(x + 1, y) + at(x, y);
}

TEST(SpotRepairMask, CoversPixelsWhoseCentresLieWithinTheRadiusPlusOnePixel) {
    // Short side 100, radius 0.1: a disc of 11 px around texture pixel (50, 50).
    const SpotRepairMask mask({repairAt(0.5, 0.5, 0.1)}, 120, 100, kNeverCancel);
    ASSERT_EQ(mask.integral.size(), 121u * 101u);
    int covered = 0;
    for (std::int64_t y = 0; y < 100; ++y) {
        for (std::int64_t x = 0; x < 120; ++x) {
            const double dx = x + 0.5 - 60;
            const double dy = y + 0.5 - 50;
            EXPECT_EQ(coveredAt(mask, x, y), dx * dx + dy * dy <= 121 ? 1 : 0) << x << ", " << y;
            covered += coveredAt(mask, x, y);
        }
    }
    EXPECT_EQ(mask.integral.back(), covered);
    for (std::int64_t x = 0; x <= 120; ++x) EXPECT_EQ(mask.integral[x], 0);

    EXPECT_FALSE(mask.isClean({60, 50}, 0.5f));
    EXPECT_FALSE(mask.isClean({71, 50}, 0.5f));  // the square [70, 72) reaches pixel 70
    EXPECT_TRUE(mask.isClean({72, 50}, 0.5f));   // [71, 73): centres 11.5 px away
    EXPECT_TRUE(mask.isClean({100, 20}, 10.0f));
}

TEST(SpotRepairMask, RepairsMeasureYFromTheTopWhileRowsCountFromTheBottom) {
    const SpotRepairMask mask({repairAt(0.5, 0.1, 0.02)}, 100, 100, kNeverCancel);
    EXPECT_FALSE(mask.isClean({50, 90}, 0.5f));
    EXPECT_TRUE(mask.isClean({50, 10}, 0.5f));
}

TEST(SpotRepairMask, StrokesCoverTheCapsulesBetweenTheirPoints) {
    const SpotRepairMask mask({repairAt(0.2, 0.5, 0.02, {{0.8, 0.5}, {0.8, 0.9}})}, 100, 100,
                              kNeverCancel);
    EXPECT_FALSE(mask.isClean({50, 50}, 0.5f));
    EXPECT_FALSE(mask.isClean({80, 30}, 0.5f));  // on the second segment, y flipped
    EXPECT_TRUE(mask.isClean({50, 56}, 0.5f));   // 5.5 px beside the stroke
    EXPECT_TRUE(mask.isClean({50, 30}, 0.5f));   // inside the corner, away from both segments
}

TEST(SpotRepairMask, SquaresReachingBeyondTheImageOrWithNaNAreNeverClean) {
    const SpotRepairMask mask({}, 10, 8, kNeverCancel);
    EXPECT_TRUE(mask.isClean({1, 1}, 1.0f));
    EXPECT_TRUE(mask.isClean({9, 7}, 1.0f));
    EXPECT_FALSE(mask.isClean({0.5f, 4}, 1.0f));
    EXPECT_FALSE(mask.isClean({9.5f, 4}, 1.0f));
    EXPECT_FALSE(mask.isClean({5, 7.5f}, 1.0f));
    EXPECT_FALSE(mask.isClean({5, -3}, 1.0f));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_FALSE(mask.isClean({nan, 4}, 1.0f));
    EXPECT_FALSE(mask.isClean({5, 4}, nan));
    EXPECT_FALSE(mask.isClean({5, 4}, std::numeric_limits<float>::infinity()));
}

TEST(SpotRepairMask, PollsForCancellationPerSegmentAndPerRow) {
    const std::vector<SpotRepair> repairs{repairAt(0.5, 0.5, 0.05),
                                          repairAt(0.2, 0.2, 0.05, {{0.3, 0.3}, {0.4, 0.2}})};
    int polls = 0;
    SpotRepairMask(repairs, 10, 8, [&] {
        ++polls;
        return false;
    });
    EXPECT_EQ(polls, 1 + 3 + 8);
    for (int cancelAt = 1; cancelAt <= polls; ++cancelAt) {
        int calls = 0;
        EXPECT_THROW(SpotRepairMask(repairs, 10, 8, [&] { return ++calls == cancelAt; }),
                     CancellationError)
            << "cancelled at poll " << cancelAt;
    }
}

TEST(SpotRepairMask, RejectsSizesItCannotCount) {
    EXPECT_THROW(SpotRepairMask({}, 0, 8, kNeverCancel), std::invalid_argument);
    EXPECT_THROW(SpotRepairMask({}, 8, -1, kNeverCancel), std::invalid_argument);
    EXPECT_THROW(SpotRepairMask({}, 65536, 65536, kNeverCancel), std::invalid_argument);
}

}  // namespace
}  // namespace quillmere
