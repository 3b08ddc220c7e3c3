#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "core/common/error.h"
#include "core/render/spot/spot_repair_discs.h"
#include "core/render/spot/spot_repair_mask.h"

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
    EXPECT_TRUE(mask.isClean({9, 7}, 1.0f));
    EXPECT_FALSE(mask.isClean({0.5f, 4}, 1.0f));
    EXPECT_FALSE(mask.isClean({5, 7.5f}, 1.0f));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_FALSE(mask.isClean({nan, 4}, 1.0f));
    EXPECT_FALSE(mask.isClean({5, 4}, nan));
}

TEST(SpotRepairMask, CancellationAtAnyPollStopsTheBuild) {
    const std::vector<SpotRepair> repairs{repairAt(0.5, 0.5, 0.05),
                                          repairAt(0.2, 0.2, 0.05, {{0.3, 0.3}, {0.4, 0.2}})};
    int polls = 0;
    SpotRepairMask(repairs, 10, 8, [&] { return ++polls < 0; });
    for (int cancelAt = 1; cancelAt <= polls; ++cancelAt) {
        int calls = 0;
        EXPECT_THROW(SpotRepairMask(repairs, 10, 8, [&] { return ++calls == cancelAt; }),
                     CancellationError)
            << "cancelled at poll " << cancelAt;
    }
}

std::vector<SpotRepair> discsOf(const SpotRepair& repair, std::int64_t width, std::int64_t height) {
    std::vector<SpotRepair> discs;
    forEachSpotRepairDisc(repair, width, height,
                          [&](const SpotRepair& disc) { discs.push_back(disc); });
    return discs;
}

TEST(SpotRepairDiscs, StrokesAreCutEvenlyAtMostFourTenthsOfTheRadiusApart) {
    const SpotRepair dab = repairAt(0.3, 0.7, 0.05);
    EXPECT_EQ(discsOf(dab, 640, 480), std::vector<SpotRepair>{dab});

    // 200 × 100: the radius 0.05 of the short side is 5 px, so discs lie at most 2 px apart;
    // x spans the width, y the height.
    const SpotRepair stroke(UUID::random(), 0.1, 0.5, 0.05,
                            {{0.205, 0.5}, {0.205, 0.5}, {0.205, 0.625}, {0.21, 0.625}});
    const std::vector<SpotRepair> discs = discsOf(stroke, 200, 100);
    // 21 px → 11 discs, a repeated point → none, 12.5 px → 7, 1 px → 1.
    ASSERT_EQ(discs.size(), 1u + 11u + 7u + 1u);
    const auto spacing = [&](std::size_t i) {
        return std::hypot((discs[i].x - discs[i - 1].x) * 200, (discs[i].y - discs[i - 1].y) * 100);
    };
    for (std::size_t i = 1; i <= 11; ++i) EXPECT_NEAR(spacing(i), 21.0 / 11, 1e-9) << i;
    for (std::size_t i = 12; i <= 18; ++i) EXPECT_NEAR(spacing(i), 12.5 / 7, 1e-9) << i;
    EXPECT_DOUBLE_EQ(discs[11].x, 0.205);  // each segment ends on its point
    EXPECT_DOUBLE_EQ(discs[18].y, 0.625);
    EXPECT_DOUBLE_EQ(discs[19].x, 0.21);
}

TEST(SpotRepairDiscs, ATinyRadiusIsStillCutNoCloserThanFourTenthsOfAPixel) {
    // A valid radius of 1e-9 would otherwise ask for billions of discs across this stroke.
    const SpotRepair stroke(UUID::random(), 0, 0.5, 1e-9, {{1, 0.5}});
    EXPECT_EQ(discsOf(stroke, 1001, 800).size(), 1u + 2503u);
    EXPECT_TRUE(discsOf(SpotRepair(UUID::random(), 0.5, 0.5, 0.2, {}), 100, 100).empty());
}

}  // namespace
}  // namespace quillmere
