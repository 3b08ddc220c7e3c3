#include <gtest/gtest.h>
#include <tbb/global_control.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <stdexcept>
#include <vector>

#include "core/compute/device.h"
#include "core/photo/gpu_render_engine_error.h"
#include "core/render/spot/spot_repair_kernel.h"
#include "tests/fixtures/texture_fixtures.h"

namespace quillmere {
namespace {

using Placement = SpotRepairKernel::Placement;

// Images are 128 × 128, so positions in pixels convert to exact fractions and back.
constexpr int kSize = 128;

// A disc centred on texture position `target` (rows from the bottom) with `radius` pixels,
// cloned from `source`, with `boundaryCount` boundary points on a ring 1.3 radii out.
Placement placementAt(msl::float2 target, float radius, msl::float2 source,
                      int boundaryCount = 16) {
    Placement placement{
        SpotRepair(UUID::random(), target.x / kSize, 1.0 - target.y / kSize, radius / kSize, {}),
        source / static_cast<float>(kSize),
        {}};
    for (int k = 0; k < boundaryCount; ++k) {
        const float angle = 2.0f * 3.1415925f * static_cast<float>(k) / boundaryCount;
        const msl::float2 point =
            target + 1.3f * radius * msl::float2{std::cos(angle), std::sin(angle)};
        placement.boundary.push_back(point / static_cast<float>(kSize));
    }
    return placement;
}

float distance(int x, int y, msl::float2 target) {
    return msl::length(msl::float2{x + 0.5f, y + 0.5f} - target);
}

msl::float4 grey(float value, float alpha = 1) { return {value, value, value, alpha}; }

class SpotHealing : public ::testing::Test {
  protected:
    std::shared_ptr<Texture> image(const std::function<msl::float4(int x, int y)>& texel) const {
        return testing::makeTexture(*device, PixelFormat::rgba16Float, kSize, kSize, texel);
    }

    // Heals into `target` and runs the passes.
    std::shared_ptr<CommandBuffer> heal(const std::vector<Placement>& placements,
                                        const std::shared_ptr<Texture>& target) {
        const std::shared_ptr<CommandBuffer> buffer = queue->makeCommandBuffer();
        kernel.encode(placements, target, *buffer);
        buffer->commit();
        EXPECT_EQ(buffer->status(), CommandBufferStatus::completed);
        return buffer;
    }

    std::shared_ptr<const Device> device = std::make_shared<Device>();
    std::shared_ptr<CommandQueue> queue = device->makeCommandQueue();
    SpotRepairKernel kernel{device};
};

TEST_F(SpotHealing, EachDiscIsAPatchPassAndABlitOfItsBoxClippedToTheImage) {
    const auto picture = image([](int, int) { return grey(0.5f); });
    const auto buffer =
        heal({placementAt({64, 64}, 10, {100, 100}), placementAt({3, 64}, 10, {100, 100}),
              placementAt({200, 64}, 10, {100, 100})},  // wholly outside: skipped
             picture);
    const std::vector<CommandPass>& passes = buffer->passes();
    ASSERT_EQ(passes.size(), 4u);
    const struct { int x, y, width, height; } boxes[] = {{54, 54, 20, 20}, {0, 54, 13, 20}};
    for (int disc = 0; disc < 2; ++disc) {
        const CommandPass& compute = passes[2 * disc];
        const CommandPass& blit = passes[2 * disc + 1];
        EXPECT_EQ(compute.label, "Heal sensor spot");
        ASSERT_EQ(compute.dispatches.size(), 1u);
        const ComputeDispatch& dispatch = compute.dispatches[0];
        EXPECT_EQ(dispatch.threadsPerGrid, (GridSize{boxes[disc].width, boxes[disc].height}));
        EXPECT_EQ(dispatch.threadsPerThreadgroup, (GridSize{32, 8}));
        EXPECT_EQ(dispatch.textures[0], picture);
        ASSERT_EQ(blit.copies.size(), 1u);
        EXPECT_EQ(blit.copies[0].source, dispatch.textures[1]);
        EXPECT_EQ(blit.copies[0].destination, picture);
        EXPECT_EQ(blit.copies[0].destinationX, boxes[disc].x);
        EXPECT_EQ(blit.copies[0].destinationY, boxes[disc].y);
    }
    const auto untouched = queue->makeCommandBuffer();
    kernel.encode({}, picture, *untouched);
    EXPECT_TRUE(untouched->passes().empty());
}

TEST_F(SpotHealing, PixelsOutsideTheDiscStayBitIdenticalWhateverTheThreadCount) {
    // A busy picture with extended, negative and non-finite values (the latter in two corners of
    // the disc's box, beyond its radius) and a dark blemish in the disc.
    const msl::float2 target{40, 90};
    const auto picture = [&] {
        return image([&](int x, int y) {
            if (x == 33 && y == 84) return grey(std::numeric_limits<float>::infinity());
            if (x == 46 && y == 84) return grey(std::numeric_limits<float>::quiet_NaN());
            if (distance(x, y, target) < 3) return grey(0.0f);
            return msl::float4{0.4f + 0.3f * std::sin(0.7f * x) * std::cos(0.3f * y),
                               0.2f * x / kSize, (x + y) % 7 == 0 ? 1.5f : -0.1f,
                               0.5f + 0.25f * (x % 3)};
        });
    };
    const auto healed = [&](int threads) {
        const tbb::global_control limit(tbb::global_control::max_allowed_parallelism, threads);
        const auto healedPicture = picture();
        heal({placementAt(target, 8, {90, 40}), placementAt({90, 30}, 25, {30, 30})},
             healedPicture);
        return testing::readBytes(*healedPicture);
    };
    const std::vector<std::byte> before = testing::readBytes(*picture());
    const std::vector<std::byte> after = healed(8);
    EXPECT_EQ(healed(1), after);

    int changed = 0;
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            const std::size_t offset = (static_cast<std::size_t>(y) * kSize + x) * 8;
            const bool same = std::memcmp(&before[offset], &after[offset], 8) == 0;
            if (distance(x, y, target) >= 8 && distance(x, y, {90, 30}) >= 25) {
                EXPECT_TRUE(same) << "pixel " << x << ", " << y << " outside the discs changed";
            }
            changed += same ? 0 : 1;
            // The alpha channel is always the image's own.
            EXPECT_EQ(std::memcmp(&before[offset + 6], &after[offset + 6], 2), 0);
        }
    }
    EXPECT_GT(changed, 1500);
}

TEST_F(SpotHealing, TheCloneIsCorrectedByTheColourDifferenceAlongTheBoundary) {
    // A horizontal ramp: cloning from 30 px to the right would brighten the disc by 30/128, and
    // the boundary correction takes exactly that off again.
    const msl::float2 target{50, 64};
    const auto ramp = [](int x) { return (x + 0.5f) / kSize; };
    const auto picture = image(
        [&](int x, int y) { return distance(x, y, target) < 3 ? grey(1.0f) : grey(ramp(x)); });
    heal({placementAt(target, 8, {80, 64})}, picture);
    for (int y = 56; y < 72; ++y) {
        for (int x = 42; x < 58; ++x) {
            if (distance(x, y, target) < 0.72f * 8) {
                EXPECT_NEAR(picture->read(x, y).x, ramp(x), 2e-3) << x << ", " << y;
            }
        }
    }
}

TEST_F(SpotHealing, HealedValuesAreClampedAndFeatheredTowardsTheRim) {
    // Without boundary points a disc is a plain clone; its sources hold values out of range.
    const auto picture = image([](int x, int) {
        if (x >= 96) return grey(3.0f, 0.25f);
        if (x >= 80) return grey(std::numeric_limits<float>::quiet_NaN(), 0.25f);
        return grey(0.2f, 0.25f);
    });
    const msl::float4 untouched = picture->read(0, 30);
    heal({placementAt({30, 30}, 10, {110, 30}, 0), placementAt({30, 90}, 10, {88, 90}, 0)},
         picture);
    EXPECT_EQ(picture->read(30, 30), grey(1.0f, 0.25f));
    EXPECT_EQ(picture->read(30, 90), grey(0.0f, 0.25f));

    // Along the row through the first centre: full clone within 72 % of the radius, strictly
    // falling in between, untouched from the radius on.
    float previous = 1.0f;
    for (int x = 30; x < 45; ++x) {
        const float d = distance(x, 30, {30, 30}) / 10;
        const float value = picture->read(x, 30).x;
        if (d < 0.72f) {
            EXPECT_EQ(value, 1.0f) << x;
        } else if (d < 1.0f) {
            EXPECT_TRUE(value < previous && value > untouched.x) << x;
        } else {
            EXPECT_EQ(picture->read(x, 30), untouched) << x;
        }
        previous = value;
    }
}

TEST_F(SpotHealing, BoundaryPointsWithinHalfAPixelOfTheEdgeAreIgnored) {
    // A bright first column; everything else flat, so only a boundary point that reads the
    // column changes the correction.
    const auto healedWith = [&](std::vector<msl::float2> extra) {
        Placement placement = placementAt({6, 64}, 5, {40, 64}, 8);
        for (const msl::float2 point : extra) {
            placement.boundary.push_back(point / static_cast<float>(kSize));
        }
        const auto picture = image([](int x, int) { return grey(x == 0 ? 1.0f : 0.5f); });
        heal({placement}, picture);
        return testing::readBytes(*picture);
    };
    const std::vector<std::byte> plain = healedWith({});
    EXPECT_EQ(healedWith({{0.49f, 64}, {3, 0.2f}, {kSize - 0.4f, 64}}), plain);
    EXPECT_NE(healedWith({{0.5f, 64}}), plain);
}

TEST_F(SpotHealing, ALaterDiscClonesFromPixelsAnEarlierOneHealed) {
    const msl::float2 blemish{40, 64};
    const auto picture = [&] {
        return image(
            [&](int x, int y) { return distance(x, y, blemish) < 3 ? grey(0.0f) : grey(0.5f); });
    };
    const Placement first = placementAt(blemish, 6, {40, 100});
    const Placement second = placementAt({46, 64}, 6, blemish);  // clones where the blemish was

    const auto inOrder = picture();
    heal({first, second}, inOrder);
    for (const msl::float4 texel : testing::readTexels(*inOrder)) EXPECT_EQ(texel, grey(0.5f));

    const auto reversed = picture();
    heal({second, first}, reversed);
    EXPECT_LT(reversed->read(46, 64).x, 0.25f);  // the blemish was copied before it was healed
}

TEST_F(SpotHealing, FailuresAreReportedWithTheirMessages) {
    const auto renderFailure = [](const auto& action) -> std::string {
        try {
            action();
        } catch (const GPURenderEngineError& error) {
            EXPECT_EQ(error.code(), GPURenderEngineError::Code::renderFailed);
            return error.what();
        }
        return "no error";
    };
    EXPECT_EQ(renderFailure([&] { const SpotRepairKernel missing(device, KernelLibrary{}); }),
              "Could not load the spot repair tool.");

    // Room for the first disc's 4 × 4 patch but not for the second's 20 × 20.
    const SpotRepairKernel limited(std::make_shared<Device>(1000));
    const auto picture = image([](int, int) { return grey(0.5f); });
    const auto buffer = queue->makeCommandBuffer();
    EXPECT_EQ(renderFailure([&] {
                  limited.encode(
                      {placementAt({20, 20}, 2, {60, 60}), placementAt({64, 64}, 10, {20, 100})},
                      picture, *buffer);
              }),
              "Could not allocate a spot repair patch.");
    EXPECT_EQ(buffer->passes().size(), 2u);  // the first disc stays encoded

    const auto committed = queue->makeCommandBuffer();
    committed->commit();
    EXPECT_EQ(renderFailure([&] {
                  kernel.encode({placementAt({64, 64}, 10, {20, 100})}, picture, *committed);
              }),
              "Could not allocate a spot repair patch.");
}

}  // namespace
}  // namespace quillmere
