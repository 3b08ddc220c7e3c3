#include "core/compute/lanczos_scale.h"

#include <gtest/gtest.h>
#include <tbb/global_control.h>

#include <cmath>
#include <cstdint>
#include <random>

#include "core/compute/device.h"
#include "core/compute/half_float.h"
#include "tests/fixtures/texture_fixtures.h"

namespace quillmere {
namespace {

std::shared_ptr<Texture> blank(const Device& device, PixelFormat format, int width, int height) {
    return testing::makeTexture(device, format, width, height,
                                [](int, int) { return msl::float4{}; });
}

TEST(LanczosScale, FillsExactlyTheTargetSizeAndKeepsAFlatFieldFlat) {
    const Device device;
    const float flat = halfToFloat(floatToHalf(0.7f));  // representable in every format
    const msl::float4 colour{flat, 2.5f, -0.25f, 1.0f};
    struct Case {
        int sourceWidth, sourceHeight, width, height;
    };
    for (const Case c : {Case{97, 61, 40, 25}, Case{10, 7, 33, 20}, Case{1, 1, 5, 3},
                         Case{300, 2, 7, 9}, Case{6, 200, 6, 1}}) {
        const auto source = testing::makeTexture(device, PixelFormat::rgba16Float, c.sourceWidth,
                                                 c.sourceHeight, [&](int, int) { return colour; });
        const auto destination = blank(device, PixelFormat::rgba16Float, c.width, c.height);
        lanczosScale(*source, *destination);
        for (const msl::float4& texel : testing::readTexels(*destination)) {
            ASSERT_EQ(texel, colour)
                << c.sourceWidth << "×" << c.sourceHeight << " to " << c.width << "×" << c.height;
        }
    }
}

TEST(LanczosScale, MapsPixelCentresOntoPixelCentres) {
    // Lanczos weights nearly reproduce a linear ramp, so away from the edges each output texel
    // holds, within a small fraction of a pixel, the source coordinate of its own centre:
    // (i + 0.5) · source / target − 0.5. An offset of half a pixel would show at once.
    const Device device;
    const auto source =
        testing::makeTexture(device, PixelFormat::rgba32Float, 90, 60, [](int x, int y) {
            return msl::float4{static_cast<float>(x), static_cast<float>(y), 0, 1};
        });
    for (const auto& [width, height] : {std::pair{30, 45}, std::pair{200, 130}}) {
        const auto destination = blank(device, PixelFormat::rgba32Float, width, height);
        lanczosScale(*source, *destination);
        const double scaleX = 90.0 / width, scaleY = 60.0 / height;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const double sourceX = (x + 0.5) * scaleX - 0.5, sourceY = (y + 0.5) * scaleY - 0.5;
                const double margin = 3.0 * std::max(scaleX, 1.0) + 1.0;
                if (sourceX < margin || sourceX > 89 - margin || sourceY < margin ||
                    sourceY > 59 - margin) {
                    continue;
                }
                const msl::float4 texel = destination->read(x, y);
                ASSERT_NEAR(texel.x, sourceX, 0.03) << x << ", " << y;
                ASSERT_NEAR(texel.y, sourceY, 0.03) << x << ", " << y;
            }
        }
    }
}

TEST(LanczosScale, ShrinkingAveragesDetailFinerThanTheNewPixelsInsteadOfAliasing) {
    const Device device;
    const auto checkerboard =
        testing::makeTexture(device, PixelFormat::rgba32Float, 300, 300, [](int x, int y) {
            const float v = (x + y) % 2 == 0 ? 1.0f : 0.0f;
            return msl::float4{v, v, v, 1};
        });
    const auto destination = blank(device, PixelFormat::rgba32Float, 97, 97);
    lanczosScale(*checkerboard, *destination);
    // Away from the borders, where repeated edge texels break the pattern.
    for (int y = 4; y < 93; ++y) {
        for (int x = 4; x < 93; ++x)
            ASSERT_NEAR(destination->read(x, y).x, 0.5f, 0.03f) << x << ", " << y;
    }
}

TEST(LanczosScale, EqualSizesCopyAndResultsDoNotDependOnTheThreadCount) {
    const Device device;
    std::mt19937 random(7);
    std::uniform_real_distribution<float> value(-0.5f, 3.0f);
    const auto source =
        testing::makeTexture(device, PixelFormat::rgba16Float, 613, 411, [&](int, int) {
            return msl::float4{value(random), value(random), value(random), value(random)};
        });
    const auto same = blank(device, PixelFormat::rgba16Float, 613, 411);
    lanczosScale(*source, *same);
    EXPECT_EQ(testing::readBytes(*same), testing::readBytes(*source));

    const auto scaled = [&](std::size_t threads) {
        const tbb::global_control limit(tbb::global_control::max_allowed_parallelism, threads);
        const auto destination = blank(device, PixelFormat::rgba16Float, 240, 161);
        lanczosScale(*source, *destination);
        return testing::readBytes(*destination);
    };
    EXPECT_EQ(scaled(1), scaled(8));
}

}  // namespace
}  // namespace quillmere
