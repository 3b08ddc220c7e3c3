#include "core/render/spot/spot_repair_discs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace quillmere {
namespace {

std::vector<SpotRepair> discsOf(const SpotRepair& repair, std::int64_t width, std::int64_t height) {
    std::vector<SpotRepair> discs;
    forEachSpotRepairDisc(repair, width, height,
                          [&](const SpotRepair& disc) { discs.push_back(disc); });
    return discs;
}

TEST(SpotRepairDiscs, StrokesAreCutEvenlyAtMostFourTenthsOfTheRadiusApart) {
    const SpotRepair dab(UUID::random(), 0.3, 0.7, 0.05, {});
    EXPECT_EQ(discsOf(dab, 640, 480), std::vector<SpotRepair>{dab});

    // 200 × 100: the radius 0.05 of the short side is 5 px, so discs lie at most 2 px apart;
    // x spans the width, y the height.
    const SpotRepair stroke(UUID::random(), 0.1, 0.5, 0.05,
                            {{0.205, 0.5}, {0.205, 0.5}, {0.205, 0.625}, {0.21, 0.625}});
    const std::vector<SpotRepair> discs = discsOf(stroke, 200, 100);
    // 21 px → 11 discs, a repeated point → none, 12.5 px → 7, 1 px → 1.
    ASSERT_EQ(discs.size(), 1u + 11u + 7u + 1u);
    for (const SpotRepair& disc : discs) {
        EXPECT_EQ(disc.id, stroke.id);
        EXPECT_EQ(disc.radius, stroke.radius);
        EXPECT_TRUE(disc.path.empty());
    }
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
