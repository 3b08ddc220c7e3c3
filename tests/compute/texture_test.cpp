#include "core/compute/texture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "core/compute/device.h"
#include "tests/fixtures/texture_fixtures.h"

namespace quillmere {
namespace {

TextureDescriptor descriptor(PixelFormat format, int width, int height) {
    return {.pixelFormat = format,
            .width = width,
            .height = height,
            .usage = TextureUsage::shaderRead | TextureUsage::shaderWrite,
            .storageMode = StorageMode::shared};
}

TEST(Device, AllocationFailureGivesNoTexture) {
    const Device device(1 << 20);
    const int huge = std::numeric_limits<int>::max();
    for (const auto& [width, height] : {std::pair{0, 10}, std::pair{10, 0}, std::pair{-4, 10}}) {
        EXPECT_EQ(device.makeTexture(descriptor(PixelFormat::rgba16Float, width, height)), nullptr);
    }
    // 1 MiB is the limit: 512 × 256 RGBA16Float texels fit exactly, one row more does not.
    EXPECT_NE(device.makeTexture(descriptor(PixelFormat::rgba16Float, 512, 256)), nullptr);
    EXPECT_EQ(device.makeTexture(descriptor(PixelFormat::rgba16Float, 512, 257)), nullptr);

    EXPECT_EQ(device.makeBuffer(0), nullptr);
    EXPECT_EQ(device.makeBuffer((1 << 20) + 1), nullptr);
    const Device unlimited;
    EXPECT_EQ(unlimited.makeTexture(descriptor(PixelFormat::rgba32Float, huge, huge)), nullptr)
        << "2^66 bytes overflow 64 bits";
}

TEST(Texture, RegionUploadAndReadBackHonourBytesPerRow) {
    const Device device;
    const std::shared_ptr<Texture> texture =
        device.makeTexture(descriptor(PixelFormat::rgba32Float, 4, 3));
    ASSERT_TRUE(texture);
    // A 2 × 2 region from host rows padded to 3 texels.
    std::vector<float> host(2 * 3 * 4);
    for (std::size_t i = 0; i < host.size(); ++i) host[i] = static_cast<float>(i + 1);
    texture->replaceRegion({1, 1, 2, 2}, host.data(), 3 * 16);
    EXPECT_EQ(texture->read(1, 1), (msl::float4{1, 2, 3, 4}));
    EXPECT_EQ(texture->read(2, 2), (msl::float4{17, 18, 19, 20}));
    EXPECT_EQ(texture->read(3, 2), (msl::float4{}));

    std::vector<float> back(2 * 4, -1.0f);
    texture->getBytes(back.data(), 16, {2, 1, 1, 2});
    EXPECT_EQ(back, (std::vector<float>{5, 6, 7, 8, 17, 18, 19, 20}));

    EXPECT_THROW(texture->replaceRegion({3, 0, 2, 1}, host.data(), 32), std::invalid_argument);
    EXPECT_THROW(texture->getBytes(back.data(), 16, {0, -1, 1, 1}), std::invalid_argument);
}

TEST(Texture, RowsConvertEachFormatLikeAGPURead) {
    const Device device;
    const msl::float4 value{1.0f + 0x1p-11f, -2.5f, 70000.0f, 0.75f};
    const float infinity = std::numeric_limits<float>::infinity();
    const struct {
        PixelFormat format;
        msl::float4 expected;
    } cases[] = {
        // Half floats round to even; 70000 lies beyond their range.
        {PixelFormat::rgba16Float, {1.0f, -2.5f, infinity, 0.75f}},
        {PixelFormat::rg16Float, {1.0f, -2.5f, 0.0f, 1.0f}},
        {PixelFormat::r32Float, {value.x, 0.0f, 0.0f, 1.0f}},
        {PixelFormat::rgba32Float, value},
    };
    for (const auto& c : cases) {
        const std::shared_ptr<Texture> texture =
            testing::makeTexture(device, c.format, 300, 2, [&](int, int) { return value; });
        std::vector<msl::float4> row(300);
        texture->readRow(0, 1, row);
        for (const msl::float4& texel : row) ASSERT_EQ(texel, c.expected);
        EXPECT_EQ(texture->read(299, 0), c.expected);
    }
}

}  // namespace
}  // namespace quillmere
