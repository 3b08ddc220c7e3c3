#include "core/decode/sealed_texture.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "core/compute/half_float.h"
#include "core/decode/reader_answer.h"

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

// A reader's answer carries exactly one file of the texture's size, or it is no answer.
TEST(SealedTexture, AnAnswersTextureIsItsOneFileOfTheSizeItsBodyStates) {
    const std::vector<std::uint16_t> pixels(8, 0x3C00);
    const auto sealed = [&](std::size_t halves) {
        return makeSealedFile(halves * 2, [&](std::byte* bytes) {
            std::memcpy(bytes, pixels.data(), std::min(halves, pixels.size()) * 2);
        });
    };
    const auto answer = [&](std::vector<std::size_t> files) {
        ReaderAnswer made;
        for (const std::size_t halves : files) made.files.push_back(sealed(halves));
        return made;
    };
    ReaderAnswer honest = answer({8});
    EXPECT_EQ(textureOfAnswer(honest, "photo.dng", PixelFormat::rgba16Float, 2, 1)->read(1, 0).x,
              1.0f);
    const std::pair<std::vector<std::size_t>, std::pair<int, int>> lies[] = {
        {{}, {2, 1}},      // no file
        {{8, 8}, {2, 1}},  // two
        {{12}, {2, 1}},    // longer than its texels
        {{8}, {-2, -1}},   // a size no texture has, whose texels would count as many
        // Texels whose 2^64 + 64 bytes count as 64 in 64 bits.
        {{32}, {1073807362, 2147352580}},
    };
    for (const auto& [files, size] : lies) {
        ReaderAnswer lying = answer(files);
        try {
            textureOfAnswer(lying, "photo.dng", PixelFormat::rgba16Float, size.first, size.second);
            ADD_FAILURE() << files.size() << " files, " << size.first;
        } catch (const ReadingError& error) {
            EXPECT_EQ(error.kind(), ReadingError::Kind::notRead);
        }
    }
}

}  // namespace
}  // namespace quillmere
