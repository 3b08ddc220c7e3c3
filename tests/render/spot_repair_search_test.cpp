#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "core/common/error.h"
#include "core/compute/device.h"
#include "core/render/gpu_render_engine_error.h"
#include "core/render/spot_repair_discs.h"
#include "core/render/spot_repair_kernel.h"
#include "tests/fixtures/texture_fixtures.h"

namespace quillmere {
namespace {

using Placement = SpotRepairKernel::Placement;

SpotRepair repairAt(double x, double y, double radius, std::vector<SpotRepair::Point> path = {}) {
    return SpotRepair(UUID::random(), x, y, radius, std::move(path));
}

// Counts the cancellation polls of a search; a cached answer makes none.
struct PollCounter {
    int polls = 0;
    std::function<bool()> predicate() {
        return [this] {
            ++polls;
            return false;
        };
    }
};

class SpotRepairSearch : public ::testing::Test {
  protected:
    // Dark left of column `edge`, bright from it on.
    std::shared_ptr<Texture> verticalEdge(int width, int height, int edge) const {
        return testing::makeTexture(*device, PixelFormat::rgba16Float, width, height,
                                    [=](int x, int) {
                                        const float v = x < edge ? 0.1f : 0.8f;
                                        return msl::float4{v, v, v, 1};
                                    });
    }
    std::shared_ptr<Texture> flat(int width, int height) const {
        return testing::makeTexture(*device, PixelFormat::rgba16Float, width, height, [](int, int) {
            return msl::float4{0.4f, 0.3f, 0.2f, 1};
        });
    }

    // The no-source failure, with its message.
    void expectNoCleanSource(const std::vector<SpotRepair>& repairs,
                             const std::shared_ptr<Texture>& reference) {
        try {
            kernel.placements(repairs, reference, [] { return false; });
            ADD_FAILURE() << "the search found a source";
        } catch (const GPURenderEngineError& error) {
            EXPECT_EQ(error.code(), GPURenderEngineError::Code::renderFailed);
            EXPECT_STREQ(error.what(),
                         "No clean nearby patch fits this repair. Undo the last stroke and paint "
                         "a smaller area.");
        }
    }

    std::shared_ptr<const Device> device = std::make_shared<Device>();
    SpotRepairKernel kernel{device};
};

TEST_F(SpotRepairSearch, AnEdgeThroughARepairIsContinuedFromAlongTheEdge) {
    // The repair sits on the edge; only sources straight above or below it see the same edge
    // through the same boundary points.
    const auto reference = verticalEdge(200, 200, 50);
    const SpotRepair repair = repairAt(0.25, 0.3, 0.02);
    const std::vector<Placement> placements =
        kernel.placements({repair}, reference, [] { return false; });
    ASSERT_EQ(placements.size(), 1u);
    const Placement& placement = placements[0];
    EXPECT_EQ(placement.repair, repair);
    EXPECT_NEAR(placement.source.x * 200, 50, 0.01);
    // Far enough from the disc (radius 4 px, covered to 5 px) that its 5.8 px square is clean.
    EXPECT_GT(std::abs(placement.source.y * 200 - 140), 10.8);

    // Around a lone dab every direction finds a clean point, symmetrically about the disc's
    // centre, which lies at (W·x, H·(1 − y)).
    ASSERT_EQ(placement.boundary.size(), 24u);
    msl::float2 centroid{};
    for (const msl::float2 point : placement.boundary) centroid += point / 24.0f;
    EXPECT_NEAR(centroid.x, 0.25, 1e-3);
    EXPECT_NEAR(centroid.y, 0.7, 1e-3);
}

TEST_F(SpotRepairSearch, ARepairNearTheEdgeTakesItsSourceInsideTheImage) {
    for (const SpotRepair& repair :
         {repairAt(0.01, 0.5, 0.05), repairAt(0.99, 0.99, 0.05), repairAt(0.5, 0.0, 0.1)}) {
        const std::vector<Placement> placements =
            kernel.placements({repair}, flat(120, 90), [] { return false; });
        ASSERT_EQ(placements.size(), 1u);
        const float radius = std::fmax(90.0f * static_cast<float>(repair.radius), 1.0f);
        const msl::float2 source = placements[0].source * msl::float2{120, 90};
        const float half = 1.2f * radius + 1;
        EXPECT_GE(source.x - half, 0);
        EXPECT_LE(source.x + half, 120);
        EXPECT_GE(source.y - half, 0);
        EXPECT_LE(source.y + half, 90);
        EXPECT_GE(placements[0].boundary.size(), 3u);
        for (const msl::float2 point : placements[0].boundary) {
            EXPECT_TRUE(point.x > 0 && point.x < 1 && point.y > 0 && point.y < 1);
        }
    }
}

TEST_F(SpotRepairSearch, ARepairBoxedInByOtherRepairsOrTheEdgeHasNoSource) {
    // Dabs of the largest radius on a grid cover everything around the small repair.
    std::vector<SpotRepair> boxedIn{repairAt(0.5, 0.5, 0.01)};
    for (double x = 0; x <= 1; x += 0.1) {
        for (double y = 0; y <= 1; y += 0.1) boxedIn.push_back(repairAt(x, y, 0.1));
    }
    expectNoCleanSource(boxedIn, flat(100, 100));
    // On a 20 px image a disc of the largest radius leaves no room for a source square.
    expectNoCleanSource({repairAt(0.5, 0.5, 0.1)}, flat(20, 20));
}

TEST_F(SpotRepairSearch, StrokesGetOnePlacementPerDiscInOrder) {
    const SpotRepair stroke = repairAt(0.3, 0.5, 0.02, {{0.45, 0.5}, {0.45, 0.4}});
    const auto reference = flat(200, 160);
    const std::vector<Placement> placements =
        kernel.placements({stroke, repairAt(0.8, 0.2, 0.01)}, reference, [] { return false; });
    std::vector<SpotRepair> discs;
    forEachSpotRepairDisc(stroke, 200, 160, [&](const SpotRepair& disc) { discs.push_back(disc); });
    ASSERT_EQ(placements.size(), discs.size() + 1);
    for (std::size_t i = 0; i < discs.size(); ++i) EXPECT_EQ(placements[i].repair, discs[i]);
    EXPECT_EQ(placements.back().repair.x, 0.8);
}

TEST_F(SpotRepairSearch, InvalidRepairsAreIgnored) {
    const auto reference = flat(64, 64);
    EXPECT_TRUE(kernel.placements({}, reference, [] { return false; }).empty());
    EXPECT_TRUE(kernel
                    .placements({repairAt(0.5, 0.5, 0.2), repairAt(NAN, 0.5, 0.05)}, reference,
                                [] { return false; })
                    .empty());
    const SpotRepair valid = repairAt(0.5, 0.5, 0.05);
    const std::vector<Placement> placements =
        kernel.placements({repairAt(1.5, 0.5, 0.05), valid}, reference, [] { return false; });
    ASSERT_EQ(placements.size(), 1u);
    EXPECT_EQ(placements[0].repair, valid);
}

TEST_F(SpotRepairSearch, TheSameTextureAndRepairsAreAnsweredFromTheCacheWithoutReading) {
    const std::shared_ptr<Texture> reference = verticalEdge(200, 200, 50);
    const std::vector<SpotRepair> repairs{repairAt(0.25, 0.3, 0.02)};
    const std::vector<Placement> first =
        kernel.placements(repairs, reference, [] { return false; });

    // The texture now holds a horizontal edge instead; a new search would move the source.
    const auto horizontal =
        testing::makeTexture(*device, PixelFormat::rgba16Float, 200, 200, [](int, int y) {
            const float v = y < 140 ? 0.1f : 0.8f;
            return msl::float4{v, v, v, 1};
        });
    const std::vector<std::byte> bytes = testing::readBytes(*horizontal);
    reference->replaceRegion({0, 0, 200, 200}, bytes.data(), reference->bytesPerRow());

    PollCounter counter;
    const std::vector<SpotRepair> equalCopy = repairs;
    EXPECT_EQ(kernel.placements(equalCopy, reference, counter.predicate()), first);
    EXPECT_EQ(counter.polls, 0);

    // Another texture object with the same pixels is searched again.
    const std::vector<Placement> searched =
        kernel.placements(repairs, horizontal, counter.predicate());
    EXPECT_GT(counter.polls, 0);
    ASSERT_EQ(searched.size(), 1u);
    EXPECT_NE(searched, first);
    EXPECT_NEAR(searched[0].source.y * 200, 140, 0.01);

    // So is a changed repair list on the cached texture.
    const int pollsBefore = counter.polls;
    kernel.placements({repairs[0], repairAt(0.8, 0.8, 0.01)}, horizontal, counter.predicate());
    EXPECT_GT(counter.polls, pollsBefore);
}

TEST_F(SpotRepairSearch, TheCacheHoldsItsTextureSoANewOneCannotTakeItsPlace) {
    std::shared_ptr<Texture> reference = flat(64, 64);
    kernel.placements({repairAt(0.5, 0.5, 0.05)}, reference, [] { return false; });
    const std::weak_ptr<Texture> cached = reference;
    reference.reset();
    EXPECT_FALSE(cached.expired());

    PollCounter counter;
    kernel.placements({repairAt(0.5, 0.5, 0.05)}, flat(64, 64), counter.predicate());
    EXPECT_GT(counter.polls, 0);
    EXPECT_TRUE(cached.expired());  // replaced, and let go
}

TEST_F(SpotRepairSearch, CancellationThrowsAndLeavesTheCacheAsItWas) {
    const auto reference = flat(200, 160);
    const std::vector<SpotRepair> cachedRepairs{repairAt(0.2, 0.2, 0.02)};
    const std::vector<Placement> cached =
        kernel.placements(cachedRepairs, reference, [] { return false; });

    const std::vector<SpotRepair> stroke{repairAt(0.3, 0.5, 0.02, {{0.6, 0.5}})};
    PollCounter full;
    SpotRepairKernel(device).placements(stroke, reference, full.predicate());
    // The mask polls once per stroke point and once per row; then the search once per disc.
    const int maskPolls = 2 + 160;
    ASSERT_GT(full.polls, maskPolls + 1);
    for (const int cancelAt : {1, maskPolls, maskPolls + 1, full.polls}) {
        int calls = 0;
        EXPECT_THROW(kernel.placements(stroke, reference, [&] { return ++calls == cancelAt; }),
                     CancellationError)
            << "cancelled at poll " << cancelAt;
        EXPECT_EQ(calls, cancelAt);

        PollCounter counter;
        EXPECT_EQ(kernel.placements(cachedRepairs, reference, counter.predicate()), cached);
        EXPECT_EQ(counter.polls, 0);
    }
}

TEST_F(SpotRepairSearch, AFailedSearchLeavesTheCacheAsItWas) {
    const auto reference = flat(20, 20);
    const std::vector<SpotRepair> small{repairAt(0.2, 0.2, 0.01)};
    const std::vector<Placement> cached = kernel.placements(small, reference, [] { return false; });
    expectNoCleanSource({repairAt(0.5, 0.5, 0.1)}, reference);
    PollCounter counter;
    EXPECT_EQ(kernel.placements(small, reference, counter.predicate()), cached);
    EXPECT_EQ(counter.polls, 0);
}

TEST_F(SpotRepairSearch, TheReferenceMustBeAHalfFloatImage) {
    const auto floats = testing::makeTexture(*device, PixelFormat::rgba32Float, 8, 8,
                                             [](int, int) { return msl::float4{}; });
    EXPECT_THROW(kernel.placements({}, floats, [] { return false; }), std::invalid_argument);
    EXPECT_THROW(kernel.placements({}, nullptr, [] { return false; }), std::invalid_argument);
}

}  // namespace
}  // namespace quillmere
