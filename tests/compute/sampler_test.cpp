#include "core/compute/sampler.h"

#include <gtest/gtest.h>

#include <limits>

#include "core/compute/device.h"
#include "tests/fixtures/texture_fixtures.h"

namespace quillmere {
namespace {

// A 4 × 3 texture whose texel (x, y) holds (x, 10·y, x + 10·y, 1), so bilinear sampling is
// exact: the sample at a position equals the position's interpolated coordinates.
std::shared_ptr<Texture> rampTexture(const Device& device) {
    return testing::makeTexture(device, PixelFormat::rgba32Float, 4, 3, [](int x, int y) {
        return msl::float4{static_cast<float>(x), 10.0f * y, static_cast<float>(x + 10 * y), 1};
    });
}

TEST(Sampler, PixelCentresReturnTheirTexelsBetweenInterpolateAndBeyondClampToTheEdge) {
    const Device device;
    const std::shared_ptr<Texture> texture = rampTexture(device);
    EXPECT_EQ(samplePixel(*texture, {0.5f, 0.5f}), (msl::float4{0, 0, 0, 1}));
    EXPECT_EQ(samplePixel(*texture, {2.5f, 1.5f}), (msl::float4{2, 10, 12, 1}));
    EXPECT_EQ(samplePixel(*texture, {2.0f, 1.5f}), (msl::float4{1.5f, 10, 11.5f, 1}));
    EXPECT_EQ(samplePixel(*texture, {1.75f, 2.0f}), (msl::float4{1.25f, 15, 16.25f, 1}));
    // The outer half texel repeats the edge texel: no fading towards zero at the border.
    EXPECT_EQ(samplePixel(*texture, {4.0f, 3.0f}), (msl::float4{3, 20, 23, 1}));
    EXPECT_EQ(samplePixel(*texture, {-50.0f, 1.5f}), (msl::float4{0, 10, 10, 1}));
    EXPECT_EQ(samplePixel(*texture, {3.9f, 99.0f}), (msl::float4{3, 20, 23, 1}));
    const float infinity = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(samplePixel(*texture, {infinity, -infinity}), (msl::float4{3, 0, 3, 1}));
    EXPECT_EQ(samplePixel(*texture, {nan, 2.5f}), (msl::float4{0, 20, 20, 1}));
}

}  // namespace
}  // namespace quillmere
