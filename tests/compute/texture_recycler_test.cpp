#include "core/compute/texture_recycler.h"

#include <gtest/gtest.h>

namespace quillmere {
namespace {

TextureDescriptor work(PixelFormat format, int width, int height) {
    return {format, width, height, TextureUsage::shaderRead | TextureUsage::shaderWrite,
            StorageMode::devicePrivate};
}

TEST(TextureRecycler, HandsATextureOutAgainOnlyOnceNobodyElseHoldsIt) {
    TextureRecycler recycler(std::make_shared<Device>());
    const TextureDescriptor preview = work(PixelFormat::rgba16Float, 64, 48);
    std::shared_ptr<Texture> first = recycler.texture(preview);
    const std::shared_ptr<Texture> second = recycler.texture(preview);
    EXPECT_NE(first, second);  // the first is still held
    Texture* const firstAddress = first.get();
    first.reset();
    EXPECT_EQ(recycler.texture(preview).get(), firstAddress);

    // Another format or usage is another kind of texture.
    EXPECT_NE(recycler.texture(work(PixelFormat::r32Float, 64, 48)).get(), firstAddress);
    TextureDescriptor readOnly = preview;
    readOnly.usage = TextureUsage::shaderRead;
    EXPECT_NE(recycler.texture(readOnly).get(), firstAddress);
    EXPECT_EQ(recycler.texture(preview).get(), firstAddress);
}

TEST(TextureRecycler, LetsIdleTexturesOfAnotherSizeGoAndKeepsNoneAboveItsLimit) {
    const auto device = std::make_shared<Device>();
    TextureRecycler recycler(device, 64 * 48 * 8);
    std::weak_ptr<Texture> idle = recycler.texture(work(PixelFormat::rgba16Float, 64, 48));
    const std::shared_ptr<Texture> other = recycler.texture(work(PixelFormat::rgba16Float, 32, 48));
    EXPECT_TRUE(idle.expired());

    std::weak_ptr<Texture> large = recycler.texture(work(PixelFormat::rgba16Float, 65, 48));
    EXPECT_TRUE(large.expired());

    const auto limited = std::make_shared<Device>(16);  // makes nothing of that size
    EXPECT_EQ(TextureRecycler(limited).texture(work(PixelFormat::rgba16Float, 64, 48)), nullptr);
}

}  // namespace
}  // namespace quillmere
