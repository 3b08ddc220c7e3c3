#include "core/reading/raster_answers.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "core/reading/wire.h"

namespace quillmere {
namespace {

// The sides a raster answer's body gives, or nothing when it is no answer.
template <class Decode>
std::optional<std::pair<std::uint32_t, std::uint32_t>> sidesOf(const Decode& decode) {
    try {
        const auto answer = decode();
        return std::pair(answer.width, answer.height);
    } catch (const WireError&) {
        return std::nullopt;
    }
}

std::string sides(std::uint32_t width, std::uint32_t height) {
    return WireWriter().u32(width).u32(height).take();
}

// A photo has at least a pixel and at most LinearImage::maxPixelCount (2^28) of them; a thumbnail
// no side longer than asked; anything more or less in a body is no answer.
TEST(RasterAnswers, ABodyIsAnAnswerOnlyWithinWhatWasAsked) {
    using Sides = std::optional<std::pair<std::uint32_t, std::uint32_t>>;
    const struct {
        const char* what;
        std::string body;
        Sides image;
        Sides thumbnail;  // of a longest side of 180
    } cases[] = {
        {"a small picture", sides(180, 120), std::pair(180u, 120u), std::pair(180u, 120u)},
        {"one pixel", sides(1, 1), std::pair(1u, 1u), std::pair(1u, 1u)},
        {"no width", sides(0, 120), std::nullopt, std::nullopt},
        {"no height", sides(120, 0), std::nullopt, std::nullopt},
        {"a width over the side asked", sides(181, 120), std::pair(181u, 120u), std::nullopt},
        {"a height over the side asked", sides(120, 181), std::pair(120u, 181u), std::nullopt},
        {"2^28 pixels", sides(1u << 14, 1u << 14), std::pair(1u << 14, 1u << 14), std::nullopt},
        {"2^28 + 16384 pixels", sides(1u << 14, (1u << 14) + 1), std::nullopt, std::nullopt},
        {"the largest sides", sides(UINT32_MAX, UINT32_MAX), std::nullopt, std::nullopt},
        {"a byte left over", sides(180, 120) + "x", std::nullopt, std::nullopt},
        {"a side cut short", sides(180, 120).substr(0, 7), std::nullopt, std::nullopt},
    };
    for (const auto& [what, body, image, thumbnail] : cases) {
        SCOPED_TRACE(what);
        EXPECT_EQ(sidesOf([&] { return raster_answers::Image::decode(body); }), image);
        EXPECT_EQ(sidesOf([&] { return raster_answers::Thumbnail::decode(body, 180); }), thumbnail);
    }
    EXPECT_EQ((raster_answers::Image{3, 2}.pixelBytes()), 3u * 2u * 8u);
    EXPECT_EQ((raster_answers::Thumbnail{3, 2}.pixelBytes()), 3u * 2u * 3u);
}

TEST(RasterAnswers, AThumbnailIsAskedOfOneToSixtyFiveThousandPixels) {
    for (const std::uint32_t side : {0u, 1u, 180u, 65535u, 65536u}) {
        const std::string params = raster_answers::ThumbnailRequest{side}.encode();
        const bool asked = side >= 1 && side <= 65535;
        try {
            EXPECT_EQ(raster_answers::ThumbnailRequest::decode(params).longestSide, side);
            EXPECT_TRUE(asked) << side;
        } catch (const WireError&) {
            EXPECT_FALSE(asked) << side;
        }
    }
}

}  // namespace
}  // namespace quillmere
