#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "core/compute/device.h"
#include "core/photo/gpu_render_engine_error.h"
#include "core/render/spot/spot_repair_kernel.h"
#include "tests/fixtures/texture_fixtures.h"

namespace quillmere {
namespace {

using Placement = SpotRepairKernel::Placement;

SpotRepair repairAt(double x, double y, double radius, std::vector<SpotRepair::Point> path = {}) {
    return SpotRepair(UUID::random(), x, y, radius, std::move(path));
}

class SpotRepairSearch : public ::testing::Test {
  protected:
    // Dark on one side of an edge through texture position 50 (x) or 140 (y), bright beyond.
    std::shared_ptr<Texture> edge(bool vertical) const {
        return testing::makeTexture(*device, PixelFormat::rgba16Float, 200, 200, [=](int x, int y) {
            const float v = (vertical ? x < 50 : y < 140) ? 0.1f : 0.8f;
            return msl::float4{v, v, v, 1};
        });
    }
    std::shared_ptr<Texture> flat(int width, int height) const {
        return testing::makeTexture(*device, PixelFormat::rgba16Float, width, height, [](int, int) {
            return msl::float4{0.4f, 0.3f, 0.2f, 1};
        });
    }
    // Runs a search, counting its cancellation polls; a cached answer makes none.
    std::vector<Placement> search(const std::vector<SpotRepair>& repairs,
                                  const std::shared_ptr<const Texture>& reference) {
        polls = 0;
        return kernel.placements(repairs, reference, [this] { return ++polls < 0; });
    }

    std::shared_ptr<const Device> device = std::make_shared<Device>();
    SpotRepairKernel kernel{device};
    int polls = 0;
};

// A 96 × 64 texture of small whole fractions, some above 1, searched for four repairs at once
// (one near the left edge, one a stroke cut into discs); expected sources (normalised, rows from
// the bottom) and counts of boundary points from scripts/reference-values, with the score of the
// chosen source and of the next best.
TEST_F(SpotRepairSearch, FindsTheSourcesItsScoringPrefers) {
    const auto reference =
        testing::makeTexture(*device, PixelFormat::rgba16Float, 96, 64, [](int x, int y) {
            return msl::float4{static_cast<float>((x * 5 + y * 3) % 11) / 8,
                               static_cast<float>((x * 2 + y * 7) % 13) / 16,
                               static_cast<float>((x + y * y) % 7) / 4, 1};
        });
    const std::vector<SpotRepair> repairs{
        repairAt(0.3685, 0.6167, 0.05), repairAt(0.0769, 0.6224, 0.05),
        repairAt(0.3017, 0.3013, 0.04, {{0.3607, 0.3213}}), repairAt(0.8059, 0.6019, 0.08)};
    const struct {
        float x, y;
        std::size_t boundaryCount;
    } expected[] = {
        {0.645664f, 0.555508f, 24},  // score 0.10436, next 0.10715
        {0.221021f, 0.522048f, 24},  // score 0.10795, next 0.12511
        {0.230046f, 0.59122f, 21},   // score 0.05687, next 0.08698
        {0.172867f, 0.695367f, 23},  // score 0.05304, next 0.09756
        {0.460033f, 0.692033f, 20},  // score 0.08290, next 0.09472
        {0.530753f, 0.488695f, 24},  // score 0.08651, next 0.10416
        {0.4797f, 0.685367f, 21},    // score 0.08397, next 0.09726
        {0.42252f, 0.789514f, 21},   // score 0.09004, next 0.09788
        {0.3607f, 0.1667f, 24},      // score 0.11117, next 0.12239
        {0.603233f, 0.3981f, 24},    // score 0.13379, next 0.14224
    };
    const std::vector<Placement> placements = search(repairs, reference);
    ASSERT_EQ(placements.size(), std::size(expected));
    for (std::size_t i = 0; i < placements.size(); ++i) {
        EXPECT_NEAR(placements[i].source.x, expected[i].x, 1e-5) << i;
        EXPECT_NEAR(placements[i].source.y, expected[i].y, 1e-5) << i;
        EXPECT_EQ(placements[i].boundary.size(), expected[i].boundaryCount) << i;
        EXPECT_EQ(placements[i].repair.id, repairs[i < 2 ? i : i < 9 ? 2 : 3].id);
    }
}

TEST_F(SpotRepairSearch, ARepairBoxedInByOtherRepairsOrTheEdgeHasNoSource) {
    // Dabs of the largest radius on a grid cover everything around the small repair; on a
    // 20 px image a disc of the largest radius leaves no room for a source square.
    std::vector<SpotRepair> boxedIn{repairAt(0.5, 0.5, 0.01)};
    for (double x = 0; x <= 1; x += 0.1) {
        for (double y = 0; y <= 1; y += 0.1) boxedIn.push_back(repairAt(x, y, 0.1));
    }
    for (const auto& [repairs, reference] :
         {std::pair{boxedIn, flat(100, 100)},
          std::pair{std::vector{repairAt(0.5, 0.5, 0.1)}, flat(20, 20)}}) {
        try {
            search(repairs, reference);
            ADD_FAILURE() << "the search found a source";
        } catch (const GPURenderEngineError& error) {
            EXPECT_EQ(error.code(), GPURenderEngineError::Code::renderFailed);
        }
    }
}

TEST_F(SpotRepairSearch, TheSameTextureAndRepairsAreAnsweredFromTheCacheWithoutReading) {
    std::shared_ptr<Texture> reference = edge(true);
    const std::vector<SpotRepair> repairs{repairAt(0.25, 0.3, 0.02), repairAt(2, 0.5, 0.05)};
    const std::vector<Placement> first = search(repairs, reference);
    ASSERT_EQ(first.size(), 1u);  // the invalid repair is ignored

    // The texture now holds a horizontal edge; searching it again would move the source.
    const std::shared_ptr<Texture> horizontal = edge(false);
    const std::vector<std::byte> bytes = testing::readBytes(*horizontal);
    reference->replaceRegion({0, 0, 200, 200}, bytes.data(), reference->bytesPerRow());
    const std::vector<SpotRepair> equalCopy = repairs;
    EXPECT_EQ(search(equalCopy, reference), first);
    EXPECT_EQ(polls, 0);

    // The cache holds its texture, so no new texture can take its place at the same address.
    const std::weak_ptr<Texture> cached = reference;
    reference.reset();
    EXPECT_FALSE(cached.expired());

    // Another texture object with those pixels is searched again.
    const std::vector<Placement> searched = search(repairs, horizontal);
    EXPECT_GT(polls, 0);
    EXPECT_TRUE(cached.expired());
    ASSERT_EQ(searched.size(), 1u);
    EXPECT_NEAR(searched[0].source.y * 200, 140, 0.01);
}

}  // namespace
}  // namespace quillmere
