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
        {"neutral raster grey", R"({})", {0.25f, 0.25f, 0.25f}, false, {0.5371f, 0.5371f, 0.5371f}},
        {"neutral raster colour",
         R"({})",
         {0.5f, 0.25f, 0.125f},
         false,
         {0.73536f, 0.5371f, 0.38857f}},
        {"raster clips above white",
         R"({})",
         {1.5f, 0.75f, 0.25f},
         false,
         {1.0f, 0.88083f, 0.5371f}},
        {"RAW rolls off above the knee",
         R"({})",
         {1.5f, 0.75f, 0.25f},
         true,
         {0.98378f, 0.88083f, 0.5371f}},
        {"RAW at four is white", R"({})", {4.0f, 4.0f, 4.0f}, true, {1.0f, 1.0f, 1.0f}},
        {"RAW below the knee",
         R"({})",
         {0.5f, 0.0625f, 0.002f},
         true,
         {0.73536f, 0.2773f, 0.02585f}},
        {"exposure +1",
         R"({"exposure":1})",
         {0.125f, 0.25f, 0.0625f},
         false,
         {0.5371f, 0.73536f, 0.38857f}},
        {"exposure -1.5",
         R"({"exposure":-1.5})",
         {0.75f, 0.5f, 0.25f},
         false,
         {0.55181f, 0.45748f, 0.32893f}},
        {"contrast +100",
         R"({"contrast":100})",
         {0.5f, 0.375f, 0.25f},
         false,
         {0.90546f, 0.79696f, 0.66453f}},
        {"contrast -50",
         R"({"contrast":-50})",
         {0.0625f, 0.046875f, 0.03125f},
         false,
         {0.33593f, 0.29177f, 0.23786f}},
        {"contrast +40 RAW",
         R"({"contrast":40})",
         {1.25f, 1.0f, 0.75f},
         true,
         {0.99059f, 0.9843f, 0.96916f}},
        {"vibrance +60 muted",
         R"({"vibrance":60})",
         {0.3f, 0.25f, 0.2f},
         false,
         {0.60319f, 0.53312f, 0.4543f}},
        {"vibrance -50 vivid",
         R"({"vibrance":-50})",
         {0.6f, 0.05f, 0.05f},
         false,
         {0.73792f, 0.27331f, 0.27331f}},
        {"saturation -100",
         R"({"saturation":-100})",
         {0.5f, 0.25f, 0.125f},
         false,
         {0.57945f, 0.57945f, 0.57945f}},
        {"saturation +50",
         R"({"saturation":50})",
         {0.25f, 0.2f, 0.15f},
         false,
         {0.55901f, 0.48008f, 0.38879f}},
        {"denoise 50",
         R"({"denoise":50})",
         {0.3f, 0.2f, 0.1f},
         false,
         {0.49085f, 0.52401f, 0.4058f},
         msl::float3{0.2f, 0.25f, 0.15f}},
        {"denoise 150 is the clean colour",
         R"({"denoise":150})",
         {0.3f, 0.2f, 0.1f},
         false,
         {0.48447f, 0.5371f, 0.42362f},
         msl::float3{0.2f, 0.25f, 0.15f}},
    });
}

TEST_F(DevelopTablesTest, WhiteBalance) {
    expectDevelops({
        {"warmer than shot",
         R"({"temperature":7500})",
         {0.25f, 0.25f, 0.25f},
         false,
         {0.58301f, 0.5371f, 0.4695f}},
        {"cooler than shot",
         R"({"temperature":3000})",
         {0.25f, 0.25f, 0.25f},
         false,
         {0.41113f, 0.5371f, 0.8481f}},
        {"tint +60", R"({"tint":60})", {0.25f, 0.25f, 0.25f}, false, {0.5371f, 0.50742f, 0.5371f}},
        {"30000 K is 25000 K",
         R"({"temperature":30000})",
         {0.25f, 0.25f, 0.25f},
         false,
         {0.66481f, 0.5371f, 0.37152f}},
    });
}

TEST_F(DevelopTablesTest, Recovery) {
    expectDevelops({
        {"highlights -100 dull scene",
         R"({"highlights":-100})",
         {1.5f, 1.25f, 1.0f},
         true,
         {0.98247f, 0.90885f, 0.82637f}},
        {"highlights -100 dull bright raster",
         R"({"highlights":-100})",
         {2.5f, 2.0f, 1.75f},
         false,
         {1.0f, 0.99321f, 0.93648f}},
        {"highlights -100 bright scene",
         R"({"highlights":-100})",
         {48.0f, 40.0f, 32.0f},
         true,
         {0.99547f, 0.96489f, 0.93297f}},
        {"highlights -150 clamps",
         R"({"highlights":-150})",
         {6.0f, 5.0f, 4.0f},
         true,
         {0.99187f, 0.93562f, 0.87449f}},
        {"highlights -60 raster",
         R"({"highlights":-60})",
         {1.0f, 0.875f, 0.75f},
         false,
         {0.96749f, 0.91216f, 0.85199f}},
        {"highlights below the pivot",
         R"({"highlights":-100})",
         {0.25f, 0.25f, 0.25f},
         false,
         {0.5371f, 0.5371f, 0.5371f}},
        {"shadows +100 deep",
         R"({"shadows":100})",
         {0.004f, 0.003f, 0.002f},
         false,
         {0.29121f, 0.25206f, 0.20437f}},
        {"shadows +50",
         R"({"shadows":50})",
         {0.0625f, 0.0625f, 0.0625f},
         false,
         {0.39137f, 0.39137f, 0.39137f}},
        {"shadows +100 above the pivot",
         R"({"shadows":100})",
         {1.0f, 1.0f, 1.0f},
         true,
         {0.95619f, 0.95619f, 0.95619f}},
        {"shadows -100",
         R"({"shadows":-100})",
         {0.03125f, 0.03125f, 0.03125f},
         false,
         {0.11283f, 0.11283f, 0.11283f}},
        {"whites +100",
         R"({"whites":100})",
         {0.75f, 0.5f, 0.375f},
         false,
         {0.94739f, 0.79157f, 0.69594f}},
        {"whites -100 RAW protects colour",
         R"({"whites":-100})",
         {2.0f, 1.0f, 0.5f},
         true,
         {0.98786f, 0.72626f, 0.53028f}},
        {"whites -100 RAW protects some colour",
         R"({"whites":-100})",
         {1.25f, 0.25f, 0.125f},
         true,
         {0.98042f, 0.49211f, 0.35487f}},
        {"blacks -100",
         R"({"blacks":-100})",
         {0.03125f, 0.03125f, 0.03125f},
         false,
         {0.12996f, 0.12996f, 0.12996f}},
        {"blacks +100",
         R"({"blacks":100})",
         {0.01f, 0.01f, 0.01f},
         false,
         {0.18617f, 0.18617f, 0.18617f}},
        {"all four",
         R"({"highlights":-40,"shadows":30,"whites":20,"blacks":-20})",
         {0.75f, 0.5f, 0.25f},
         true,
         {0.89431f, 0.74675f, 0.54563f}},
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
         {{4, {0.56838f, 0.51306f, 0.44894f}},
          {11, {0.55009f, 0.4964f, 0.43416f}},
          {12, {0.71781f, 0.64925f, 0.56978f}},
          {14, {0.71158f, 0.64357f, 0.56474f}},
          {16, {0.71034f, 0.64245f, 0.56374f}}}},
        {"shadows on a dark dot",
         R"({"shadows":100})",
         32,
         {0.06f, 0.048f, 0.036f},
         {0.015f, 0.012f, 0.009f},
         {24, 4, 25, 5},
         false,
         {{23, {0.57553f, 0.51958f, 0.45472f}}, {24, {0.34036f, 0.30528f, 0.26461f}}}},
        {"highlights around a hot stripe",
         R"({"highlights":-100})",
         32,
         {1.5f, 1.25f, 1.0f},
         {12.0f, 10.0f, 8.0f},
         {12, 0, 20, 8},
         true,
         {{4, {0.97976f, 0.90526f, 0.82163f}},
          {11, {0.97976f, 0.90526f, 0.82163f}},
          {12, {0.9931f, 0.94365f, 0.89052f}},
          {16, {0.9931f, 0.94365f, 0.89052f}}}},
        {"a hot pixel is averaged into the white point",
         R"({"highlights":-100})",
         512,
         {1.875f, 1.5625f, 1.125f},
         {6.75f, 6.75f, 6.75f},
         {300, 5, 301, 6},
         false,
         {{10, {1.0f, 0.97296f, 0.84146f}}, {299, {1.0f, 0.97248f, 0.84104f}}}},
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
         {0.90623f, 0.62769f, 0.34915f}},
        {"blue saturation -100",
         R"({"hsl":{"saturation":[0,0,0,0,0,-100,0,0]}})",
         {0.1f, 0.1f, 0.8f},
         false,
         {0.90623f, 0.90623f, 0.90623f}},
        {"green luminance -100",
         R"({"hsl":{"luminance":[0,0,0,-100,0,0,0,0]}})",
         {0.1f, 0.6f, 0.1f},
         false,
         {0.20761f, 0.47437f, 0.20761f}},
        {"hue 300 between purple and magenta",
         R"({"hsl":{"luminance":[0,0,0,0,0,0,-100,0]}})",
         {0.6f, 0.1f, 0.36f},
         false,
         {0.76278f, 0.33383f, 0.6065f}},
        {"hue 45 between orange and yellow",
         R"({"hsl":{"luminance":[0,-100,0,0,0,0,0,0],"hue":[0,0,60,0,0,0,0,0]}})",
         {0.7f, 0.45f, 0.1f},
         false,
         {0.60743f, 0.53567f, 0.24822f}},
        {"faint colour",
         R"({"hsl":{"saturation":[100,100,0,0,0,0,0,0]}})",
         {0.5f, 0.38f, 0.32f},
         false,
         {0.73536f, 0.56437f, 0.46725f}},
        {"hue 345 shares magenta and red",
         R"({"hsl":{"luminance":[40,0,0,0,0,0,0,-100]}})",
         {0.7f, 0.1f, 0.3f},
         false,
         {0.51337f, 0.20979f, 0.35082f}},
        {"point turns its hue",
         R"({"hsl":{"points":[{"hue":20,"saturation":0.8,"brightness":0.8,"hueShift":100}]}})",
         {0.8f, 0.3f, 0.1f},
         false,
         {0.90623f, 0.86242f, 0.34915f}},
        {"point variance pulls onto its hue",
         R"({"hsl":{"points":[{"hue":20,"saturation":0.8,"brightness":0.8,"variance":-100}]}})",
         {0.8f, 0.5f, 0.1f},
         false,
         {0.90623f, 0.61706f, 0.34915f}},
        {"point darkens",
         R"({"hsl":{"points":[{"hue":20,"saturation":0.8,"brightness":0.8,"luminanceShift":-100}]}})",
         {0.8f, 0.3f, 0.1f},
         false,
         {0.53885f, 0.34717f, 0.20761f}},
        {"point saturates",
         R"({"hsl":{"points":[{"hue":20,"saturation":0.8,"brightness":0.8,"saturationShift":60}]}})",
         {0.5f, 0.35f, 0.25f},
         false,
         {0.73536f, 0.62629f, 0.5371f}},
        {"point range 100 doubles the windows",
         R"({"hsl":{"points":[{"hue":20,"saturation":0.8,"brightness":0.8,"range":100,"luminanceShift":-100}]}})",
         {0.8f, 0.62f, 0.1f},
         false,
         {0.53885f, 0.48135f, 0.20761f}},
        {"point selection fades from half its window",
         R"({"hsl":{"points":[{"hue":20,"saturation":0.8,"brightness":0.8,"luminanceShift":-100}]}})",
         {0.8f, 0.52f, 0.1f},
         false,
         {0.71717f, 0.59226f, 0.27631f}},
        {"point spares faint colours",
         R"({"hsl":{"points":[{"hue":20,"saturation":0.8,"brightness":0.8,"luminanceShift":-100,"saturationRange":1}]}})",
         {0.5f, 0.45f, 0.43f},
         false,
         {0.57114f, 0.54475f, 0.53371f}},
        {"point hue range clamps to 180",
         R"({"hsl":{"points":[{"hue":20,"saturation":0.8,"brightness":0.8,"hueRange":250,"luminanceShift":-100}]}})",
         {0.1f, 0.3f, 0.8f},
         false,
         {0.33641f, 0.56257f, 0.87317f}},
        {"points and the mixer together",
         R"({"hsl":{"points":[{"hue":20,"saturation":0.8,"brightness":0.8,"luminanceShift":-50}],"hue":[0,100,0,0,0,0,0,0]}})",
         {0.8f, 0.3f, 0.1f},
         false,
         {0.6988f, 0.65074f, 0.26923f}},
        {"black and white",
         R"({"hsl":{"blackAndWhite":true}})",
         {0.5f, 0.25f, 0.125f},
         false,
         {0.57945f, 0.57945f, 0.57945f}},
        {"point shown",
         R"({"hsl":{"points":[{"hue":20,"saturation":0.8,"brightness":0.8}]},"visualizePointIndex":0})",
         {0.8f, 0.52f, 0.1f},
         false,
         {0.82036f, 0.74932f, 0.56962f}},
        {"band shown at 345",
         R"({"visualizeBandIndex":7})",
         {0.7f, 0.1f, 0.3f},
         false,
         {0.84971f, 0.3517f, 0.58306f}},
    });
}

TEST_F(DevelopTablesTest, ToneCurve) {
    expectDevelops({
        {"master S curve",
         R"({"toneCurve":{"rgb":[[0,0],[64,40],[192,215],[255,255]]}})",
         {0.05f, 0.2f, 0.6f},
         false,
         {0.1537f, 0.47258f, 0.88261f}},
        {"red channel lift",
         R"({"toneCurve":{"red":[[0,30],[128,170],[255,255]]}})",
         {0.05f, 0.2f, 0.6f},
         false,
         {0.40179f, 0.48447f, 0.7978f}},
        {"master then red",
         R"({"toneCurve":{"rgb":[[0,0],[64,40],[192,215],[255,255]],"red":[[0,0],[100,160],[255,255]]}})",
         {0.05f, 0.2f, 0.6f},
         false,
         {0.264f, 0.47258f, 0.88261f}},
        {"steep curve is limited",
         R"({"toneCurve":{"green":[[0,0],[20,200],[60,210],[255,255]]}})",
         {0.001f, 0.004f, 0.02f},
         false,
         {0.012925f, 0.61437f, 0.15172f}},
    });
}

}  // namespace
}  // namespace quillmere
