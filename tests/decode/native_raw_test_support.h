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

// Whether the texture stores exactly the `count` half floats at `halves`, row 0 first.
inline bool holdsHalves(const Texture& texture, const std::uint16_t* halves, std::size_t count) {
    const std::vector<std::byte> bytes = readBytes(texture);
    return bytes.size() == count * sizeof(std::uint16_t) &&
           std::memcmp(bytes.data(), halves, bytes.size()) == 0;
}

}  // namespace quillmere::testing
