#include "core/decode/sealed_texture.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>

#include "core/compute/half_float.h"

namespace quillmere {
namespace {

std::optional<SealedFile> sealedHalves(const std::vector<std::uint16_t>& halves,
                                       UniqueDescriptor* kept = nullptr) {
    UniqueDescriptor file = makeSealedFile(halves.size() * 2, [&](std::byte* bytes) {
        std::memcpy(bytes, halves.data(), halves.size() * 2);
    });
    if (kept) *kept = UniqueDescriptor(dup(file.get()));
    return SealedFile::accept(file.release(), halves.size() * 2);
}

TEST(SealedTexture, ATextureOverAReadersPixelsIsTheirsWithoutACopyOrAChangeToThem) {
    // Two RGBA half-float pixels: (1, 0.5, 0, 1) and (2, 0, 0.25, 1).
    const std::vector<std::uint16_t> pixels = {0x3C00, 0x3800, 0x0000, 0x3C00,
                                               0x4000, 0x0000, 0x3400, 0x3C00};
    UniqueDescriptor kept;
    std::optional<SealedFile> file = sealedHalves(pixels, &kept);
    ASSERT_TRUE(file);
    const std::byte* mapping = file->data();
    const std::shared_ptr<Texture> texture =
        makeTextureOver(std::move(*file), {.width = 2, .height = 1});
    ASSERT_TRUE(texture);
    EXPECT_EQ(texture->rowData(0), mapping);
    EXPECT_EQ(texture->read(1, 0).z, 0.25f);
    texture->write({3, 3, 3, 3}, 0, 0);
    EXPECT_EQ(texture->read(0, 0).x, 3.0f);
    std::uint16_t held = 0;
    EXPECT_EQ(pread(kept.get(), &held, 2, 0), 2);
    EXPECT_EQ(held, 0x3C00);

    // Only a file of exactly the texture's texels.
    const TextureDescriptor others[] = {
        {.width = 1, .height = 1},
        {.width = 3, .height = 1},
        {.pixelFormat = PixelFormat::rgba32Float, .width = 2, .height = 1},
        {.width = 0, .height = 1}};
    for (const TextureDescriptor& other : others) {
        EXPECT_FALSE(makeTextureOver(std::move(*sealedHalves(pixels)), other));
    }
}

}  // namespace
}  // namespace quillmere
