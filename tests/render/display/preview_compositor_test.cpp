#include "core/render/display/preview_compositor.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

#include "core/compute/device.h"
#include "tests/fixtures/texture_fixtures.h"

namespace quillmere {
namespace {

using namespace PreviewCompositor;
using Pixel = std::array<std::uint8_t, 4>;

constexpr Color kBackground{0.2, 0.4, 0.6, 1};
constexpr Pixel kBackgroundPixel{51, 102, 153, 255};
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

Pixel at(const Rgba8Image& image, int x, int y) {
    const std::size_t offset = (static_cast<std::size_t>(y) * image.width + x) * 4;
    return {image.rgba[offset], image.rgba[offset + 1], image.rgba[offset + 2],
            image.rgba[offset + 3]};
}

// The bytes texel (x, y) of photo() shows as when it is sampled at its centre.
Pixel photoPixel(int x, int y) {
    return {static_cast<std::uint8_t>(std::lround(x * 0.25 * 255)),
            static_cast<std::uint8_t>(y * 128), 0, 255};
}

class PreviewCompositorTest : public ::testing::Test {
  protected:
    // 4 × 2 texels, red stepping with x, green with the row (row 0 is the photo's bottom row).
    std::shared_ptr<const Texture> photo() const {
        return testing::makeTexture(device, PixelFormat::rgba16Float, 4, 2, [](int x, int y) {
            return msl::float4{x * 0.25f, y * 0.5f, 0, 1};
        });
    }
    Rgba8Image compose(Rect destination, Size drawable,
                       ColorSpace colorSpace = ColorSpace::sRGB) const {
        std::optional<Rgba8Image> image =
            scene(photo(), destination, drawable, colorSpace, kBackground);
        EXPECT_TRUE(image.has_value());
        return image.value_or(Rgba8Image{});
    }
    // Which pixels of `image` show the background rather than the photo.
    static std::vector<std::string> backgroundMap(const Rgba8Image& image) {
        std::vector<std::string> rows;
        for (int y = 0; y < image.height; ++y) {
            std::string row;
            for (int x = 0; x < image.width; ++x)
                row += at(image, x, y) == kBackgroundPixel ? '.' : '#';
            rows.push_back(row);
        }
        return rows;
    }

    Device device;
};

TEST_F(PreviewCompositorTest, PhotoIsScaledByTheWidthRatioAndHangsFromTheDestinationTop) {
    // Measured from the top: a destination one row down shows the photo in rows 1 to 4.
    EXPECT_EQ(backgroundMap(compose({2, 1, 8, 4}, {12, 10})),
              (std::vector<std::string>{
                  "............", "..########..", "..########..", "..########..", "..########..",
                  "............", "............", "............", "............", "............"}));
    // Scale 2 and upright: the top-left shows the photo's top row, the bottom-right its bottom.
    const Rgba8Image scaled = compose({2, 1, 8, 4}, {12, 10});
    EXPECT_EQ(at(scaled, 2, 1), photoPixel(0, 1));
    EXPECT_EQ(at(scaled, 9, 4), photoPixel(3, 0));

    // A square destination for a 2:1 photo: the width sets the scale and the photo's bottom edge
    // sits on the destination's bottom edge, leaving the destination's upper half empty.
    EXPECT_EQ(backgroundMap(compose({0, 0, 8, 8}, {8, 8})),
              (std::vector<std::string>{"........", "........", "........", "........", "########",
                                        "########", "########", "########"}));
}

TEST_F(PreviewCompositorTest, AnUnusableDestinationShowsTheBackgroundAlone) {
    for (const Rect destination :
         {Rect{0, 0, 0, 2}, Rect{0, 0, -4, 2}, Rect{0, 0, kNaN, 2}, Rect{0, 0, kInfinity, 2},
          Rect{kNaN, 0, 4, 2}, Rect{0, -kInfinity, 4, 2}, Rect{0, 0, 4, kNaN}}) {
        const Rgba8Image image = compose(destination, {6, 3});
        EXPECT_EQ(backgroundMap(image), std::vector<std::string>(3, "......"))
            << destination.x << ' ' << destination.y << ' ' << destination.width << ' '
            << destination.height;
    }
}

TEST_F(PreviewCompositorTest, DrawableSizeIsRoundedAndAnEmptyOrHugeOneHandled) {
    EXPECT_EQ(compose({0, 0, 4, 2}, {4.4, 1.6}).height, 2);
    for (const Size empty : {Size{0, 2}, Size{4, -1}, Size{kNaN, 2}, Size{4, kInfinity}}) {
        const Rgba8Image image = compose({0, 0, 4, 2}, empty);
        EXPECT_TRUE(image.rgba.empty());
        EXPECT_EQ(image.width * image.height, 0);
    }
    EXPECT_THROW(scene(photo(), {0, 0, 4, 2}, {1e12, 2}, ColorSpace::sRGB, kBackground),
                 std::invalid_argument);
}

TEST_F(PreviewCompositorTest, TheColourSpaceDecidesHowValuesAreShownOverTheBackground) {
    const msl::float4 texels[] = {{0.5f, 2.0f, std::numeric_limits<float>::quiet_NaN(), 1},
                                  {1, 1, 1, 0.5f}};
    const auto photo = testing::makeTexture(device, PixelFormat::rgba16Float, 2, 1,
                                            [&](int x, int) { return texels[x]; });
    const auto shown = [&](ColorSpace space) {
        return *scene(photo, {0, 0, 2, 1}, {2, 1}, space, kBackground);
    };
    EXPECT_EQ(at(shown(ColorSpace::sRGB), 0, 0), (Pixel{128, 255, 0, 255}));
    // Linear 0.5 is sRGB 0.7354.
    EXPECT_EQ(at(shown(ColorSpace::extendedLinearSRGB), 0, 0), (Pixel{188, 255, 0, 255}));
    // Half white over (0.2, 0.4, 0.6): (0.6, 0.7, 0.8), opaque.
    const Pixel blended = at(shown(ColorSpace::sRGB), 1, 0), expected{153, 179, 204, 255};
    for (int channel = 0; channel < 4; ++channel)
        EXPECT_NEAR(blended[channel], expected[channel], 1);
}

}  // namespace
}  // namespace quillmere
