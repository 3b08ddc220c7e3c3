#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "core/common/error.h"
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

TEST_F(SpotRepairSearch, AnEdgeThroughARepairIsContinuedFromAlongTheEdge) {
    // The repair (radius 4 px, covered to 5 px) sits on a vertical edge at texture position
    // (50, 140); only sources straight above or below it see the same edge through the same
    // boundary points.
    const SpotRepair repair = repairAt(0.25, 0.3, 0.02);
    const std::vector<Placement> placements = search({repair}, edge(true));
    ASSERT_EQ(placements.size(), 1u);
    EXPECT_EQ(placements[0].repair, repair);
    EXPECT_NEAR(placements[0].source.x * 200, 50, 0.01);
    EXPECT_GT(std::abs(placements[0].source.y * 200 - 140), 10.8);  // its square stays clean

    // Around a lone dab every direction finds a clean point, symmetrically about the centre.
    ASSERT_EQ(placements[0].boundary.size(), 24u);
    msl::float2 centroid{};
    for (const msl::float2 point : placements[0].boundary) centroid += point / 24.0f;
    EXPECT_NEAR(centroid.x, 0.25, 1e-3);
    EXPECT_NEAR(centroid.y, 0.7, 1e-3);
}

TEST_F(SpotRepairSearch, ARepairNearTheEdgeTakesItsSourceInsideTheImage) {
    for (const SpotRepair& repair :
         {repairAt(0.01, 0.5, 0.05), repairAt(0.99, 0.99, 0.05), repairAt(0.5, 0.0, 0.1)}) {
        const std::vector<Placement> placements = search({repair}, flat(120, 90));
        ASSERT_EQ(placements.size(), 1u);
        const msl::float2 source = placements[0].source * msl::float2{120, 90};
        const float half = 1.2f * 90.0f * static_cast<float>(repair.radius) + 1;
        EXPECT_TRUE(source.x >= half && source.x <= 120 - half) << source.x;
        EXPECT_TRUE(source.y >= half && source.y <= 90 - half) << source.y;
        for (const msl::float2 point : placements[0].boundary) {
            EXPECT_TRUE(point.x > 0 && point.x < 1 && point.y > 0 && point.y < 1);
        }
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
            EXPECT_STREQ(error.what(),
                         "No clean nearby patch fits this repair. Undo the last stroke and paint "
                         "a smaller area.");
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

    // Another texture object with those pixels is searched again, and so is a changed list.
    const std::vector<Placement> searched = search(repairs, horizontal);
    EXPECT_GT(polls, 0);
    EXPECT_TRUE(cached.expired());
    ASSERT_EQ(searched.size(), 1u);
    EXPECT_NEAR(searched[0].source.y * 200, 140, 0.01);
    search({repairs[0]}, horizontal);
    EXPECT_GT(polls, 0);
    EXPECT_TRUE(search({}, horizontal).empty());
}

TEST_F(SpotRepairSearch, CancellationAndFailureLeaveTheCacheAsItWas) {
    const auto reference = flat(200, 160);
    const std::vector<SpotRepair> cachedRepairs{repairAt(0.2, 0.2, 0.02)};
    const std::vector<Placement> cached = search(cachedRepairs, reference);
    const auto expectCacheHit = [&] {
        EXPECT_EQ(search(cachedRepairs, reference), cached);
        EXPECT_EQ(polls, 0);
    };

    const std::vector<SpotRepair> stroke{repairAt(0.3, 0.5, 0.02, {{0.6, 0.5}})};
    int strokePolls = 0;
    SpotRepairKernel(device).placements(stroke, reference, [&] { return ++strokePolls < 0; });
    // The mask polls once per stroke point and once per row; the search once per disc.
    const int maskPolls = 2 + 160;
    ASSERT_GT(strokePolls, maskPolls + 1);
    for (const int cancelAt : {1, maskPolls, maskPolls + 1, strokePolls}) {
        int calls = 0;
        EXPECT_THROW(kernel.placements(stroke, reference, [&] { return ++calls == cancelAt; }),
                     CancellationError)
            << "cancelled at poll " << cancelAt;
        EXPECT_EQ(calls, cancelAt);
        expectCacheHit();
    }
    EXPECT_THROW(search({repairAt(0.5, 0.5, 0.1)}, flat(20, 20)), GPURenderEngineError);
    expectCacheHit();
}

}  // namespace
}  // namespace quillmere
