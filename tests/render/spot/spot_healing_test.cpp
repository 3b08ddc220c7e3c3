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

// A 32 × 32 texture (ramps in red and green, a pattern in blue), one disc of radius 6 px
// centred on texel (16, 16), cloned from texel (8, 24) with boundary points at texel centres,
// one of them within half a pixel of the edge. Expected values from scripts/reference-values:
// the clone corrected by the boundary's colour differences, clamped, feathered from 72 % of the
// radius, untouched from the radius on.
TEST_F(SpotHealing, HealsAsItsFormulasSay) {
    const auto picture =
        testing::makeTexture(*device, PixelFormat::rgba16Float, 32, 32, [](int x, int y) {
            return msl::float4{x / 32.0f, y / 32.0f, static_cast<float>((x + 2 * y) % 3) / 2, 0.5f};
        });
    Placement placement{SpotRepair(UUID::random(), 16.5 / 32, 1 - 16.5 / 32, 6.0 / 32, {}),
                        msl::float2{8.5f, 24.5f} / 32.0f,
                        {}};
    for (const msl::float2 point : {msl::float2{25.5f, 16.5f},
                                    {7.5f, 16.5f},
                                    {16.5f, 25.5f},
                                    {16.5f, 7.5f},
                                    {22.5f, 22.5f},
                                    {10.5f, 10.5f},
                                    {22.5f, 10.5f},
                                    {10.5f, 22.5f},
                                    {19.5f, 20.5f},
                                    {0.25f, 16.5f}}) {
        placement.boundary.push_back(point / 32.0f);
    }
    heal({placement}, picture);
    const struct {
        int x, y;
        msl::float3 expected;
    } probes[] = {
        {16, 16, {0.49731f, 0.50537f, 0.5415f}},  {19, 16, {0.59277f, 0.50391f, 0.58691f}},
        {20, 17, {0.62402f, 0.53467f, 0.69434f}}, {21, 16, {0.65576f, 0.50195f, 0.35889f}},
        {22, 16, {0.6875f, 0.5f, 0.0f}},          {18, 19, {0.56201f, 0.59619f, 0.72705f}},
        {13, 14, {0.40063f, 0.44092f, 0.0f}},     {12, 19, {0.37183f, 0.59814f, 0.35889f}},
        {20, 13, {0.62451f, 0.40771f, 0.17944f}},
    };
    for (const auto& probe : probes) {
        const msl::float4 texel = picture->read(probe.x, probe.y);
        for (int channel = 0; channel < 3; ++channel) {
            EXPECT_NEAR(texel[channel], probe.expected[channel], 0.002f)
                << probe.x << ", " << probe.y << " " << channel;
        }
        EXPECT_EQ(texel.w, 0.5f) << "the alpha channel is always the image's own";
    }
}

TEST_F(SpotHealing, APatchTheDeviceCannotHoldFailsWithTheDiscsBeforeItEncoded) {
    // Room for the first disc's 4 × 4 patch but not for the second's 20 × 20.
    const SpotRepairKernel limited(std::make_shared<Device>(1000));
    const auto picture = image([](int, int) { return grey(0.5f); });
    const auto buffer = queue->makeCommandBuffer();
    try {
        limited.encode({placementAt({20, 20}, 2, {60, 60}), placementAt({64, 64}, 10, {20, 100})},
                       picture, *buffer);
        ADD_FAILURE() << "the second patch was allocated";
    } catch (const GPURenderEngineError& error) {
        EXPECT_EQ(error.code(), GPURenderEngineError::Code::renderFailed);
    }
    EXPECT_EQ(buffer->passes().size(), 2u);  // the first disc stays encoded
}

}  // namespace
}  // namespace quillmere
