#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "core/compute/texture.h"
#include "core/decode/native_raw_error.h"
#include "tests/fixtures/texture_fixtures.h"

namespace quillmere::testing {

// Runs `body`, which must fail with the NativeRAWError `code` and exactly the sentence `text`.
template <typename Body>
void expectNativeRAWError(Body&& body, NativeRAWError::Code code, const std::string& text) {
    try {
        body();
        ADD_FAILURE() << "no error; expected \"" << text << "\"";
    } catch (const NativeRAWError& error) {
        EXPECT_EQ(error.code(), code);
        EXPECT_EQ(error.what(), text);
    }
}

// The texture is a decoder's texture (shared, shader read and write) of this format, size and
// label, and stores exactly the texels at `expected`: rows packed, row 0 first.
inline void expectDecodedTexture(const Texture& texture, PixelFormat format, int width, int height,
                                 const std::string& label, const void* expected) {
    EXPECT_EQ(texture.pixelFormat(), format);
    EXPECT_EQ(texture.storageMode(), StorageMode::shared);
    EXPECT_EQ(texture.usage(), TextureUsage::shaderRead | TextureUsage::shaderWrite);
    EXPECT_EQ(texture.label(), label);
    ASSERT_EQ(texture.width(), width);
    ASSERT_EQ(texture.height(), height);
    const std::vector<std::byte> bytes = readBytes(texture);
    EXPECT_EQ(std::memcmp(bytes.data(), expected, bytes.size()), 0);
}

}  // namespace quillmere::testing
