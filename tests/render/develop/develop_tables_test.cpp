#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "tests/fixtures/develop_fixtures.h"
#include "tests/fixtures/texture_fixtures.h"

// The develop of flat photos and of small patterned ones, from the edit to the display-encoded
// result, against values computed from the develop's formulas with scripts/reference-values.
// Each table pins the constants of one part of the develop.

namespace quillmere {
namespace {

using msl::float3;

// Display-encoded values are stored as 16-bit floats: a few steps of that precision.
constexpr float kTolerance = 0.002f;

struct FlatCase {
    const char* name;
    const char* edit;  // testing::editFromJSON
    float3 input;      // every pixel of the photo
    bool raw;
    float3 expected;
    std::optional<float3> denoised{};  // the fully denoised photo's colour
};

// A photo 8 pixels high of one colour with a rectangle of another, looked at in row 4.
struct PatternCase {
    const char* name;
    const char* edit;
    int width;
    float3 background;
    float3 feature;
    int rectangle[4];  // x0, y0, x1, y1 (ends exclusive)
    bool raw;
    std::vector<std::pair<int, float3>> expected;  // column, colour
};

class DevelopTablesTest : public ::testing::Test {
  protected:
    std::shared_ptr<Texture> image(int width, int height,
                                   const std::function<float3(int, int)>& colour) const {
        return testing::makeTexture(*developer.device(), PixelFormat::rgba16Float, width, height,
                                    [&](int x, int y) {
                                        return msl::float4{colour(x, y), 0.75f};
                                    });
    }

    void expectDevelops(const std::vector<FlatCase>& cases) const {
        for (const FlatCase& c : cases) {
            SCOPED_TRACE(c.name);
            const auto flat = [](float3 colour) { return [=](int, int) { return colour; }; };
            const auto output =
                developer.develop(image(4, 4, flat(c.input)), testing::editFromJSON(c.edit), c.raw,
                                  c.denoised ? image(4, 4, flat(*c.denoised)) : nullptr);
            for (const auto& [x, y] : {std::pair{0, 0}, std::pair{3, 2}}) {
                const msl::float4 texel = output->read(x, y);
                for (int channel = 0; channel < 3; ++channel) {
                    EXPECT_NEAR(texel[channel], c.expected[channel], kTolerance) << channel;
                }
                EXPECT_EQ(texel.w, 0.75f) << "alpha passes through";
            }
        }
    }

    testing::Developer developer;
};

TEST_F(DevelopTablesTest, Tone) {
    expectDevelops({
        {"neutral raster grey",
         R"({})",
         {0.25f, 0.25f, 0.25f},
         false,
         {0.537099f, 0.537099f, 0.537099f}},
        {"neutral raster colour",
         R"({})",
         {0.5f, 0.25f, 0.125f},
         false,
         {0.735357f, 0.537099f, 0.388573f}},
        {"raster clips above white",
         R"({})",
         {1.5f, 0.75f, 0.25f},
         false,
         {1.0f, 0.880825f, 0.537099f}},
        {"RAW rolls off above the knee",
         R"({})",
         {1.5f, 0.75f, 0.25f},
         true,
         {0.983783f, 0.880825f, 0.537099f}},
        {"RAW at four is white", R"({})", {4.0f, 4.0f, 4.0f}, true, {1.0f, 1.0f, 1.0f}},
        {"RAW below the knee",
         R"({})",
         {0.5f, 0.0625f, 0.002f},
         true,
         {0.735357f, 0.277304f, 0.0258504f}},
        {"exposure +1",
         R"({"exposure":1})",
         {0.125f, 0.25f, 0.0625f},
         false,
         {0.537099f, 0.735357f, 0.388573f}},
        {"exposure -1.5",
         R"({"exposure":-1.5})",
         {0.75f, 0.5f, 0.25f},
         false,
         {0.551807f, 0.457483f, 0.328929f}},
        {"contrast +100",
         R"({"contrast":100})",
         {0.5f, 0.375f, 0.25f},
         false,
         {0.905459f, 0.796964f, 0.664531f}},
        {"contrast -50",
         R"({"contrast":-50})",
         {0.0625f, 0.046875f, 0.03125f},
         false,
         {0.335926f, 0.291766f, 0.237863f}},
        {"contrast +40 RAW",
         R"({"contrast":40})",
         {1.25f, 1.0f, 0.75f},
         true,
         {0.990594f, 0.984302f, 0.969161f}},
        {"vibrance +60 muted",
         R"({"vibrance":60})",
         {0.3f, 0.25f, 0.2f},
         false,
         {0.603186f, 0.533122f, 0.454299f}},
        {"vibrance -50 vivid",
         R"({"vibrance":-50})",
         {0.6f, 0.05f, 0.05f},
         false,
         {0.737923f, 0.273307f, 0.273307f}},
        {"saturation -100",
         R"({"saturation":-100})",
         {0.5f, 0.25f, 0.125f},
         false,
         {0.579446f, 0.579446f, 0.579446f}},
        {"saturation +50",
         R"({"saturation":50})",
         {0.25f, 0.2f, 0.15f},
         false,
         {0.559013f, 0.480076f, 0.388787f}},
        {"denoise 50",
         R"({"denoise":50})",
         {0.3f, 0.2f, 0.1f},
         false,
         {0.490845f, 0.524015f, 0.405801f},
         msl::float3{0.2f, 0.25f, 0.15f}},
        {"denoise 150 is the clean colour",
         R"({"denoise":150})",
         {0.3f, 0.2f, 0.1f},
         false,
         {0.484474f, 0.537099f, 0.423615f},
         msl::float3{0.2f, 0.25f, 0.15f}},
    });
}

TEST_F(DevelopTablesTest, WhiteBalance) {
    expectDevelops({
        {"warmer than shot",
         R"({"temperature":7500})",
         {0.25f, 0.25f, 0.25f},
         false,
         {0.583012f, 0.537099f, 0.469496f}},
        {"cooler than shot",
         R"({"temperature":3000})",
         {0.25f, 0.25f, 0.25f},
         false,
         {0.411129f, 0.537099f, 0.848105f}},
        {"tint +60",
         R"({"tint":60})",
         {0.25f, 0.25f, 0.25f},
         false,
         {0.537099f, 0.507422f, 0.537099f}},
        {"30000 K is 25000 K",
         R"({"temperature":30000})",
         {0.25f, 0.25f, 0.25f},
         false,
         {0.664811f, 0.537099f, 0.371515f}},
    });
}

TEST_F(DevelopTablesTest, Recovery) {
    expectDevelops({
        {"highlights -100 dull scene",
         R"({"highlights":-100})",
         {1.5f, 1.25f, 1.0f},
         true,
         {0.982467f, 0.90885f, 0.826374f}},
        {"highlights -100 dull bright raster",
         R"({"highlights":-100})",
         {2.5f, 2.0f, 1.75f},
         false,
         {1.0f, 0.993205f, 0.936478f}},
        {"highlights -100 bright scene",
         R"({"highlights":-100})",
         {48.0f, 40.0f, 32.0f},
         true,
         {0.995467f, 0.964887f, 0.932965f}},
        {"highlights -150 clamps",
         R"({"highlights":-150})",
         {6.0f, 5.0f, 4.0f},
         true,
         {0.99187f, 0.935615f, 0.874489f}},
        {"highlights -60 raster",
         R"({"highlights":-60})",
         {1.0f, 0.875f, 0.75f},
         false,
         {0.967494f, 0.912158f, 0.851991f}},
        {"highlights below the pivot",
         R"({"highlights":-100})",
         {0.25f, 0.25f, 0.25f},
         false,
         {0.537099f, 0.537099f, 0.537099f}},
        {"shadows +100 deep",
         R"({"shadows":100})",
         {0.004f, 0.003f, 0.002f},
         false,
         {0.291215f, 0.252065f, 0.204368f}},
        {"shadows +50",
         R"({"shadows":50})",
         {0.0625f, 0.0625f, 0.0625f},
         false,
         {0.391368f, 0.391368f, 0.391368f}},
        {"shadows +100 above the pivot",
         R"({"shadows":100})",
         {1.0f, 1.0f, 1.0f},
         true,
         {0.956193f, 0.956193f, 0.956193f}},
        {"shadows -100",
         R"({"shadows":-100})",
         {0.03125f, 0.03125f, 0.03125f},
         false,
         {0.112828f, 0.112828f, 0.112828f}},
        {"whites +100",
         R"({"whites":100})",
         {0.75f, 0.5f, 0.375f},
         false,
         {0.947389f, 0.791574f, 0.695943f}},
        {"whites -100 RAW protects colour",
         R"({"whites":-100})",
         {2.0f, 1.0f, 0.5f},
         true,
         {0.987857f, 0.72626f, 0.530284f}},
        {"whites -100 RAW protects some colour",
         R"({"whites":-100})",
         {1.25f, 0.25f, 0.125f},
         true,
         {0.980422f, 0.492106f, 0.354866f}},
        {"blacks -100",
         R"({"blacks":-100})",
         {0.03125f, 0.03125f, 0.03125f},
         false,
         {0.129956f, 0.129956f, 0.129956f}},
        {"blacks +100",
         R"({"blacks":100})",
         {0.01f, 0.01f, 0.01f},
         false,
         {0.186165f, 0.186165f, 0.186165f}},
        {"all four",
         R"({"highlights":-40,"shadows":30,"whites":20,"blacks":-20})",
         {0.75f, 0.5f, 0.25f},
         true,
         {0.894313f, 0.746749f, 0.545633f}},
    });
}

TEST_F(DevelopTablesTest, RecoveryAgainstTheSurroundings) {
    const std::vector<PatternCase> cases = {
        {"shadows around a brighter stripe",
         R"({"shadows":100})",
         32,
         {0.06f, 0.048f, 0.036f},
         {0.168f, 0.1344f, 0.1008f},
         {12, 0, 20, 8},
         false,
         {{4, {0.568381f, 0.513064f, 0.448939f}},
          {11, {0.550094f, 0.4964f, 0.434156f}},
          {12, {0.717813f, 0.649252f, 0.569777f}},
          {14, {0.711582f, 0.643574f, 0.564739f}},
          {16, {0.710344f, 0.642446f, 0.563739f}}}},
        {"shadows on a dark dot",
         R"({"shadows":100})",
         32,
         {0.06f, 0.048f, 0.036f},
         {0.015f, 0.012f, 0.009f},
         {24, 4, 25, 5},
         false,
         {{23, {0.575528f, 0.519577f, 0.454717f}}, {24, {0.340361f, 0.305278f, 0.264608f}}}},
        {"highlights around a hot stripe",
         R"({"highlights":-100})",
         32,
         {1.5f, 1.25f, 1.0f},
         {12.0f, 10.0f, 8.0f},
         {12, 0, 20, 8},
         true,
         {{4, {0.979759f, 0.905258f, 0.821632f}},
          {11, {0.979759f, 0.905258f, 0.821632f}},
          {12, {0.993097f, 0.943653f, 0.890518f}},
          {16, {0.993097f, 0.943653f, 0.890518f}}}},
        {"a hot pixel is averaged into the white point",
         R"({"highlights":-100})",
         512,
         {1.875f, 1.5625f, 1.125f},
         {6.75f, 6.75f, 6.75f},
         {300, 5, 301, 6},
         false,
         {{10, {1.0f, 0.972962f, 0.841463f}}, {299, {1.0f, 0.972479f, 0.841042f}}}},
    };
    for (const PatternCase& c : cases) {
        SCOPED_TRACE(c.name);
        const auto input = image(c.width, 8, [&](int x, int y) {
            const bool inside = x >= c.rectangle[0] && y >= c.rectangle[1] && x < c.rectangle[2] &&
                                y < c.rectangle[3];
            return inside ? c.feature : c.background;
        });
        const auto output = developer.develop(input, testing::editFromJSON(c.edit), c.raw);
        for (const auto& [x, expected] : c.expected) {
            const msl::float4 texel = output->read(x, 4);
            for (int channel = 0; channel < 3; ++channel) {
                EXPECT_NEAR(texel[channel], expected[channel], kTolerance) << x << " " << channel;
            }
        }
    }
}

TEST_F(DevelopTablesTest, ColourMixerAndPointColours) {
    expectDevelops({
        {"red hue +100",
         R"({"hsl":{"hue":[100,0,0,0,0,0,0,0]}})",
         {0.8f, 0.1f, 0.1f},
         false,
         {0.906234f, 0.627692f, 0.349149f}},
        {"blue saturation -100",
         R"({"hsl":{"saturation":[0,0,0,0,0,-100,0,0]}})",
         {0.1f, 0.1f, 0.8f},
         false,
         {0.906234f, 0.906234f, 0.906234f}},
        {"green luminance -100",
         R"({"hsl":{"luminance":[0,0,0,-100,0,0,0,0]}})",
         {0.1f, 0.6f, 0.1f},
         false,
         {0.207605f, 0.474372f, 0.207605f}},
        {"hue 300 between purple and magenta",
         R"({"hsl":{"luminance":[0,0,0,0,0,0,-100,0]}})",
         {0.6f, 0.1f, 0.36f},
         false,
         {0.762785f, 0.333827f, 0.606501f}},
        {"hue 45 between orange and yellow",
         R"({"hsl":{"luminance":[0,-100,0,0,0,0,0,0],"hue":[0,0,60,0,0,0,0,0]}})",
         {0.7f, 0.45f, 0.1f},
         false,
         {0.607431f, 0.535673f, 0.248222f}},
        {"faint colour",
         R"({"hsl":{"saturation":[100,100,0,0,0,0,0,0]}})",
         {0.5f, 0.38f, 0.32f},
         false,
         {0.735357f, 0.564375f, 0.467247f}},
        {"hue 345 shares magenta and red",
         R"({"hsl":{"luminance":[40,0,0,0,0,0,0,-100]}})",
         {0.7f, 0.1f, 0.3f},
         false,
         {0.513373f, 0.209786f, 0.350821f}},
        {"point turns its hue",
         R"({"hsl":{"points":[{"hue":20,"saturation":0.8,"brightness":0.8,"hueShift":100}]}})",
         {0.8f, 0.3f, 0.1f},
         false,
         {0.906234f, 0.862417f, 0.349149f}},
        {"point variance pulls onto its hue",
         R"({"hsl":{"points":[{"hue":20,"saturation":0.8,"brightness":0.8,"variance":-100}]}})",
         {0.8f, 0.5f, 0.1f},
         false,
         {0.906234f, 0.617061f, 0.349149f}},
        {"point darkens",
         R"({"hsl":{"points":[{"hue":20,"saturation":0.8,"brightness":0.8,"luminanceShift":-100}]}})",
         {0.8f, 0.3f, 0.1f},
         false,
         {0.53885f, 0.347174f, 0.207605f}},
        {"point saturates",
         R"({"hsl":{"points":[{"hue":20,"saturation":0.8,"brightness":0.8,"saturationShift":60}]}})",
         {0.5f, 0.35f, 0.25f},
         false,
         {0.735357f, 0.626289f, 0.537099f}},
        {"point range 100 doubles the windows",
         R"({"hsl":{"points":[{"hue":20,"saturation":0.8,"brightness":0.8,"range":100,"luminanceShift":-100}]}})",
         {0.8f, 0.62f, 0.1f},
         false,
         {0.53885f, 0.481353f, 0.207605f}},
        {"point selection fades from half its window",
         R"({"hsl":{"points":[{"hue":20,"saturation":0.8,"brightness":0.8,"luminanceShift":-100}]}})",
         {0.8f, 0.52f, 0.1f},
         false,
         {0.71717f, 0.592258f, 0.276308f}},
        {"point spares faint colours",
         R"({"hsl":{"points":[{"hue":20,"saturation":0.8,"brightness":0.8,"luminanceShift":-100,"saturationRange":1}]}})",
         {0.5f, 0.45f, 0.43f},
         false,
         {0.571138f, 0.544746f, 0.533711f}},
        {"point hue range clamps to 180",
         R"({"hsl":{"points":[{"hue":20,"saturation":0.8,"brightness":0.8,"hueRange":250,"luminanceShift":-100}]}})",
         {0.1f, 0.3f, 0.8f},
         false,
         {0.336411f, 0.562572f, 0.87317f}},
        {"points and the mixer together",
         R"({"hsl":{"points":[{"hue":20,"saturation":0.8,"brightness":0.8,"luminanceShift":-50}],"hue":[0,100,0,0,0,0,0,0]}})",
         {0.8f, 0.3f, 0.1f},
         false,
         {0.698802f, 0.650742f, 0.269231f}},
        {"black and white",
         R"({"hsl":{"blackAndWhite":true}})",
         {0.5f, 0.25f, 0.125f},
         false,
         {0.579446f, 0.579446f, 0.579446f}},
        {"point shown",
         R"({"hsl":{"points":[{"hue":20,"saturation":0.8,"brightness":0.8}]},"visualizePointIndex":0})",
         {0.8f, 0.52f, 0.1f},
         false,
         {0.82036f, 0.749316f, 0.569621f}},
        {"band shown at 345",
         R"({"visualizeBandIndex":7})",
         {0.7f, 0.1f, 0.3f},
         false,
         {0.84971f, 0.351702f, 0.583058f}},
    });
}

TEST_F(DevelopTablesTest, ToneCurve) {
    expectDevelops({
        {"master S curve",
         R"({"toneCurve":{"rgb":[[0,0],[64,40],[192,215],[255,255]]}})",
         {0.05f, 0.2f, 0.6f},
         false,
         {0.153702f, 0.472576f, 0.882609f}},
        {"red channel lift",
         R"({"toneCurve":{"red":[[0,30],[128,170],[255,255]]}})",
         {0.05f, 0.2f, 0.6f},
         false,
         {0.401789f, 0.484474f, 0.797796f}},
        {"master then red",
         R"({"toneCurve":{"rgb":[[0,0],[64,40],[192,215],[255,255]],"red":[[0,0],[100,160],[255,255]]}})",
         {0.05f, 0.2f, 0.6f},
         false,
         {0.264001f, 0.472576f, 0.882609f}},
        {"steep curve is limited",
         R"({"toneCurve":{"green":[[0,0],[20,200],[60,210],[255,255]]}})",
         {0.001f, 0.004f, 0.02f},
         false,
         {0.0129252f, 0.614375f, 0.151722f}},
    });
}

}  // namespace
}  // namespace quillmere
