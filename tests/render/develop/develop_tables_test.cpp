#include <gtest/gtest.h>

#include <array>
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

// Colours written as doubles so that a table row fits on a line.
using Rgb = std::array<double, 3>;

float3 toFloat3(const Rgb& c) {
    return {static_cast<float>(c[0]), static_cast<float>(c[1]), static_cast<float>(c[2])};
}

struct FlatCase {
    const char* name;
    const char* edit;  // testing::editFromJSON
    Rgb input;         // every pixel of the photo
    Rgb expected;
    bool raw = false;
    std::optional<Rgb> denoised{};  // the fully denoised photo's colour
};

// A photo 8 pixels high of one colour with a rectangle of another, looked at in row 4.
struct PatternCase {
    const char* name;
    const char* edit;
    int width;
    Rgb background;
    Rgb feature;
    int rectangle[4];  // x0, y0, x1, y1 (ends exclusive)
    bool raw;
    std::vector<std::pair<int, Rgb>> expected;  // column, colour
};

// One pixel of a developed photo and its expected colour.
struct Probe {
    int x;
    int y;
    Rgb expected;
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
            const auto flat = [](const Rgb& colour) {
                return [=](int, int) { return toFloat3(colour); };
            };
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

    static void expectProbes(const Texture& output, const std::vector<Probe>& probes) {
        for (const Probe& probe : probes) {
            const msl::float4 texel = output.read(probe.x, probe.y);
            for (int channel = 0; channel < 3; ++channel) {
                EXPECT_NEAR(texel[channel], probe.expected[channel], kTolerance)
                    << "pixel (" << probe.x << ", " << probe.y << ") channel " << channel;
            }
        }
    }

    testing::Developer developer;
};

TEST_F(DevelopTablesTest, ToneAndWhiteBalance) {
    // clang-format off
    expectDevelops({
        {"neutral raster grey", R"({})", {0.25, 0.25, 0.25}, {0.5371, 0.5371, 0.5371}},
        {"raster clips above white", R"({})", {1.5, 0.75, 0.25}, {1.0, 0.88083, 0.5371}},
        {"RAW rolls off above the knee", R"({})",
         {1.5, 0.75, 0.25}, {0.98378, 0.88083, 0.5371}, true},
        {"RAW at four is white", R"({})", {4.0, 4.0, 4.0}, {1.0, 1.0, 1.0}, true},
        {"exposure +1", R"({"exposure":1})", {0.125, 0.25, 0.0625}, {0.5371, 0.73536, 0.38857}},
        {"contrast +100", R"({"contrast":100})", {0.5, 0.375, 0.25}, {0.90546, 0.79696, 0.66453}},
        {"contrast -50", R"({"contrast":-50})",
         {0.0625, 0.046875, 0.03125}, {0.33593, 0.29177, 0.23786}},
        {"contrast +40 RAW", R"({"contrast":40})",
         {1.25, 1.0, 0.75}, {0.99059, 0.9843, 0.96916}, true},
        {"vibrance +60 muted", R"({"vibrance":60})", {0.3, 0.25, 0.2}, {0.60319, 0.53312, 0.4543}},
        {"saturation -100", R"({"saturation":-100})",
         {0.5, 0.25, 0.125}, {0.57945, 0.57945, 0.57945}},
        {"denoise 50", R"({"denoise":50})",
         {0.3, 0.2, 0.1}, {0.49085, 0.52401, 0.4058}, false, Rgb{0.2, 0.25, 0.15}},
        {"denoise 150 is the clean colour", R"({"denoise":150})",
         {0.3, 0.2, 0.1}, {0.48447, 0.5371, 0.42362}, false, Rgb{0.2, 0.25, 0.15}},
        {"cooler than shot", R"({"temperature":3000})",
         {0.25, 0.25, 0.25}, {0.41113, 0.5371, 0.8481}},
        {"tint +60", R"({"tint":60})", {0.25, 0.25, 0.25}, {0.5371, 0.50742, 0.5371}},
    });
    // clang-format on
}

TEST_F(DevelopTablesTest, Recovery) {
    // clang-format off
    expectDevelops({
        {"highlights -100 dull scene", R"({"highlights":-100})",
         {1.5, 1.25, 1.0}, {0.98247, 0.90885, 0.82637}, true},
        {"highlights -100 dull bright raster", R"({"highlights":-100})",
         {2.5, 2.0, 1.75}, {1.0, 0.99321, 0.93648}},
        {"highlights -100 bright scene", R"({"highlights":-100})",
         {48.0, 40.0, 32.0}, {0.99547, 0.96489, 0.93297}, true},
        {"highlights -150 clamps", R"({"highlights":-150})",
         {6.0, 5.0, 4.0}, {0.99187, 0.93562, 0.87449}, true},
        {"highlights -60 raster", R"({"highlights":-60})",
         {1.0, 0.875, 0.75}, {0.96749, 0.91216, 0.85199}},
        {"shadows +100 deep", R"({"shadows":100})",
         {0.004, 0.003, 0.002}, {0.29121, 0.25206, 0.20437}},
        {"shadows +50", R"({"shadows":50})", {0.0625, 0.0625, 0.0625}, {0.39137, 0.39137, 0.39137}},
        {"shadows +100 above the pivot", R"({"shadows":100})",
         {1.0, 1.0, 1.0}, {0.95619, 0.95619, 0.95619}, true},
        // Lowered shadows and raised highlights follow their own fixed curves.
        {"shadows -100", R"({"shadows":-100})",
         {0.03125, 0.03125, 0.03125}, {0.11283, 0.11283, 0.11283}},
        {"highlights +100 RAW", R"({"highlights":100})",
         {1.2, 0.9, 0.6}, {0.98171, 0.96329, 0.86039}, true},
        {"whites +100", R"({"whites":100})", {0.75, 0.5, 0.375}, {0.94739, 0.79157, 0.69594}},
        {"whites -100 RAW protects some colour", R"({"whites":-100})",
         {1.25, 0.25, 0.125}, {0.98042, 0.49211, 0.35487}, true},
        {"blacks -100", R"({"blacks":-100})",
         {0.03125, 0.03125, 0.03125}, {0.12996, 0.12996, 0.12996}},
        {"blacks +100", R"({"blacks":100})", {0.01, 0.01, 0.01}, {0.18617, 0.18617, 0.18617}},
        {"all four", R"({"highlights":-40,"shadows":30,"whites":20,"blacks":-20})",
         {0.75, 0.5, 0.25}, {0.89431, 0.74675, 0.54563}, true},
    });
    // clang-format on
}

TEST_F(DevelopTablesTest, RecoveryAgainstTheSurroundings) {
    // clang-format off
    const std::vector<PatternCase> cases = {
        {"shadows around a brighter stripe", R"({"shadows":100})", 32,
         {0.06, 0.048, 0.036}, {0.168, 0.1344, 0.1008}, {12, 0, 20, 8}, false,
         {{4, {0.56838, 0.51306, 0.44894}}, {11, {0.55009, 0.4964, 0.43416}},
          {12, {0.71781, 0.64925, 0.56978}}, {14, {0.71158, 0.64357, 0.56474}},
          {16, {0.71034, 0.64245, 0.56374}}}},
        {"shadows on a dark dot", R"({"shadows":100})", 32,
         {0.06, 0.048, 0.036}, {0.015, 0.012, 0.009}, {24, 4, 25, 5}, false,
         {{23, {0.57553, 0.51958, 0.45472}}, {24, {0.34036, 0.30528, 0.26461}}}},
        {"highlights around a hot stripe", R"({"highlights":-100})", 32,
         {1.5, 1.25, 1.0}, {12.0, 10.0, 8.0}, {12, 0, 20, 8}, true,
         {{4, {0.97976, 0.90526, 0.82163}}, {11, {0.97976, 0.90526, 0.82163}},
          {12, {0.9931, 0.94365, 0.89052}}, {16, {0.9931, 0.94365, 0.89052}}}},
        {"a hot pixel is averaged into the white point", R"({"highlights":-100})", 512,
         {1.875, 1.5625, 1.125}, {6.75, 6.75, 6.75}, {300, 5, 301, 6}, false,
         {{10, {1.0, 0.97296, 0.84146}}, {299, {1.0, 0.97248, 0.84104}}}},
    };
    // clang-format on
    for (const PatternCase& c : cases) {
        SCOPED_TRACE(c.name);
        const auto input = image(c.width, 8, [&](int x, int y) {
            const bool inside = x >= c.rectangle[0] && y >= c.rectangle[1] && x < c.rectangle[2] &&
                                y < c.rectangle[3];
            return toFloat3(inside ? c.feature : c.background);
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

// A photo larger than its recovery guide: 600 x 40 pixels for a guide of 256 x 17, each guide
// texel the mean of 3 x 3 samples spread over its area, between the pixels' centres. Blocks of
// 5 x 4 pixels in two shades make the base depend on exactly where those samples fall, and the
// clamped bilateral filter and upsampling carry it to the edges, where shadows +100 bring back the
// detail against it.
TEST_F(DevelopTablesTest, RecoveryGuideOfAPhotoLargerThanItAlongTheEdges) {
    const Rgb light{0.08, 0.064, 0.048}, dark{0.02, 0.016, 0.012};
    const auto blocks = [&](int x, int y) {
        return toFloat3((x / 5 + y / 4) % 2 == 0 ? light : dark);
    };
    const auto output = developer.develop(image(600, 40, blocks),
                                          testing::editFromJSON(R"({"shadows":100})"), false);
    // clang-format off
    expectProbes(*output, {
        {0, 0, {0.63612, 0.57481, 0.50359}},
        {20, 0, {0.68092, 0.61563, 0.5398}},
        {69, 0, {0.39608, 0.35606, 0.30958}},
        {115, 0, {0.40137, 0.36089, 0.31386}},
        {264, 0, {0.68218, 0.61678, 0.54082}},
        {565, 0, {0.40137, 0.36089, 0.31386}},
        {599, 0, {0.44234, 0.39822, 0.34697}},
        {0, 39, {0.44234, 0.39822, 0.34697}},
        {34, 39, {0.40137, 0.36089, 0.31386}},
        {189, 39, {0.68218, 0.61678, 0.54082}},
        {594, 39, {0.38651, 0.34734, 0.30185}},
        {599, 39, {0.63612, 0.57481, 0.50359}},
        {0, 11, {0.67341, 0.60879, 0.53373}},
        {0, 20, {0.38923, 0.34982, 0.30405}},
        {0, 35, {0.70697, 0.63937, 0.56085}},
        {599, 4, {0.70697, 0.63937, 0.56085}},
        {599, 23, {0.68508, 0.61942, 0.54316}},
        {599, 27, {0.3944, 0.35453, 0.30822}},
    });
    // clang-format on
}

// Fine texture in the highlights: a checkerboard of two bright colours, which the texture mask
// takes for texture everywhere. Lowered highlights bring back the local contrast their curve
// flattens, but a tenth of a stop at most either way (less near the pivot), and both colours of
// squares here have more than that to bring back.
TEST_F(DevelopTablesTest, HighlightDetailBroughtBackInFineTextureIsLimited) {
    const struct {
        const char* name;
        const char* edit;
        Rgb even, odd;  // the squares where x + y is even, the others
        bool raw;
        Rgb expectedEven, expectedOdd;
    } cases[] = {
        // clang-format off
        {"highlights -100", R"({"highlights":-100})", {0.9, 0.75, 0.6}, {1.8, 1.5, 1.2}, false,
         {0.92277, 0.85129, 0.77088}, {1.0, 0.99644, 0.90315}},
        {"highlights -100 RAW", R"({"highlights":-100})", {0.9, 0.75, 0.6}, {1.8, 1.5, 1.2}, true,
         {0.92123, 0.85129, 0.77088}, {0.98865, 0.92181, 0.84786}},
        {"highlights -100 contrast -30", R"({"highlights":-100,"contrast":-30})",
         {1.0, 0.9, 0.8}, {2.5, 2.25, 2.0}, false,
         {0.87018, 0.8304, 0.78795}, {1.0, 0.99399, 0.94375}},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto squares = [&](int x, int y) {
            return toFloat3((x + y) % 2 == 0 ? c.even : c.odd);
        };
        const auto output =
            developer.develop(image(16, 8, squares), testing::editFromJSON(c.edit), c.raw);
        expectProbes(*output, {{4, 4, c.expectedEven}, {5, 4, c.expectedOdd}});
    }
}

// Near greys: the mixer's hue and saturation act from an encoded saturation of 0.02 up, its
// luminance from 0.01 up, each mask rising smoothly from there. Every band is set alike, so the
// hue of the grey does not matter.
TEST_F(DevelopTablesTest, ColourMixerMasksStartAboveGrey) {
    const char* const limits = R"({"hsl":{"hue":[100,100,100,100,100,100,100,100],)"
                               R"("saturation":[100,100,100,100,100,100,100,100],)"
                               R"("luminance":[-100,-100,-100,-100,-100,-100,-100,-100]}})";
    const char* const darker = R"({"hsl":{"luminance":[-100,-100,-100,-100,-100,-100,-100,-100]}})";
    const char* const richer = R"({"hsl":{"saturation":[100,100,100,100,100,100,100,100]}})";
    const char* const paler = R"({"hsl":{"saturation":[-100,-100,-100,-100,-100,-100,-100,-100]}})";
    // clang-format off
    expectDevelops({
        {"every band at its limits spares s 0.004", limits,
         {0.5, 0.4975, 0.495}, {0.73536, 0.73375, 0.73213}},
        {"every band at its limits at s 0.015", limits,
         {0.5, 0.4918, 0.4836}, {0.73136, 0.72589, 0.72054}},
        {"luminance -100 at s 0.018", darker, {0.5, 0.49, 0.48}, {0.72419, 0.71766, 0.71105}},
        {"luminance -100 at s 0.037", darker, {0.5, 0.48, 0.46}, {0.63811, 0.62653, 0.61467}},
        {"saturation +100 at s 0.087", richer, {1.0, 0.875, 0.8125}, {1.0, 0.91275, 0.86638}},
        {"saturation -100 at s 0.087", paler, {1.0, 0.875, 0.8125}, {1.0, 0.97306, 0.95874}},
    });
    // clang-format on
}

TEST_F(DevelopTablesTest, ColourMixerAndPointColours) {
    // clang-format off
    expectDevelops({
        {"red hue +100", R"({"hsl":{"hue":[100,0,0,0,0,0,0,0]}})",
         {0.8, 0.1, 0.1}, {0.90623, 0.62769, 0.34915}},
        {"green luminance -100", R"({"hsl":{"luminance":[0,0,0,-100,0,0,0,0]}})",
         {0.1, 0.6, 0.1}, {0.20761, 0.47437, 0.20761}},
        {"hue 300 between purple and magenta", R"({"hsl":{"luminance":[0,0,0,0,0,0,-100,0]}})",
         {0.6, 0.1, 0.36}, {0.76278, 0.33383, 0.6065}},
        {"hue 45 between orange and yellow",
         R"({"hsl":{"luminance":[0,-100,0,0,0,0,0,0],"hue":[0,0,60,0,0,0,0,0]}})",
         {0.7, 0.45, 0.1}, {0.60743, 0.53567, 0.24822}},
        {"faint colour", R"({"hsl":{"saturation":[100,100,0,0,0,0,0,0]}})",
         {0.5, 0.38, 0.32}, {0.73536, 0.56437, 0.46725}},
        {"hue 345 shares magenta and red", R"({"hsl":{"luminance":[40,0,0,0,0,0,0,-100]}})",
         {0.7, 0.1, 0.3}, {0.51337, 0.20979, 0.35082}},
        {"point turns its hue",
         R"({"hsl":{"points":[{"hue":20,"saturation":0.8,"brightness":0.8,"hueShift":100}]}})",
         {0.8, 0.3, 0.1}, {0.90623, 0.86242, 0.34915}},
        {"point variance pulls onto its hue",
         R"({"hsl":{"points":[{"hue":20,"saturation":0.8,"brightness":0.8,"variance":-100}]}})",
         {0.8, 0.5, 0.1}, {0.90623, 0.61706, 0.34915}},
        {"point darkens",
         R"({"hsl":{"points":[{"hue":20,"saturation":0.8,"brightness":0.8,)"
         R"("luminanceShift":-100}]}})",
         {0.8, 0.3, 0.1}, {0.53885, 0.34717, 0.20761}},
        {"point range 100 doubles the windows",
         R"({"hsl":{"points":[{"hue":20,"saturation":0.8,"brightness":0.8,"range":100,)"
         R"("luminanceShift":-100}]}})",
         {0.8, 0.62, 0.1}, {0.53885, 0.48135, 0.20761}},
        {"point selection fades from half its window",
         R"({"hsl":{"points":[{"hue":20,"saturation":0.8,"brightness":0.8,)"
         R"("luminanceShift":-100}]}})",
         {0.8, 0.52, 0.1}, {0.71717, 0.59226, 0.27631}},
        {"point spares faint colours",
         R"({"hsl":{"points":[{"hue":20,"saturation":0.8,"brightness":0.8,"luminanceShift":-100,)"
         R"("saturationRange":1}]}})",
         {0.5, 0.45, 0.43}, {0.57114, 0.54475, 0.53371}},
        {"point hue range clamps to 180",
         R"({"hsl":{"points":[{"hue":20,"saturation":0.8,"brightness":0.8,"hueRange":250,)"
         R"("luminanceShift":-100}]}})",
         {0.1, 0.3, 0.8}, {0.33641, 0.56257, 0.87317}},
        {"points and the mixer together",
         R"({"hsl":{"points":[{"hue":20,"saturation":0.8,"brightness":0.8,"luminanceShift":-50}],)"
         R"("hue":[0,100,0,0,0,0,0,0]}})",
         {0.8, 0.3, 0.1}, {0.6988, 0.65074, 0.26923}},
        {"black and white", R"({"hsl":{"blackAndWhite":true}})",
         {0.5, 0.25, 0.125}, {0.57945, 0.57945, 0.57945}},
        {"point shown",
         R"({"hsl":{"points":[{"hue":20,"saturation":0.8,"brightness":0.8}]},)"
         R"("visualizePointIndex":0})",
         {0.8, 0.52, 0.1}, {0.82036, 0.74932, 0.56962}},
        {"band shown at 345", R"({"visualizeBandIndex":7})",
         {0.7, 0.1, 0.3}, {0.84971, 0.3517, 0.58306}},
    });
    // clang-format on
}

TEST_F(DevelopTablesTest, ToneCurve) {
    // clang-format off
    expectDevelops({
        {"master S curve", R"({"toneCurve":{"rgb":[[0,0],[64,40],[192,215],[255,255]]}})",
         {0.05, 0.2, 0.6}, {0.1537, 0.47258, 0.88261}},
        {"red channel lift", R"({"toneCurve":{"red":[[0,30],[128,170],[255,255]]}})",
         {0.05, 0.2, 0.6}, {0.40179, 0.48447, 0.7978}},
        {"master then red",
         R"({"toneCurve":{"rgb":[[0,0],[64,40],[192,215],[255,255]],"red":[[0,0],[100,160],[255,)"
         R"(255]]}})",
         {0.05, 0.2, 0.6}, {0.264, 0.47258, 0.88261}},
        {"steep curve is limited", R"({"toneCurve":{"green":[[0,0],[20,200],[60,210],[255,255]]}})",
         {0.001, 0.004, 0.02}, {0.012925, 0.61437, 0.15172}},
    });
    // clang-format on
}

}  // namespace
}  // namespace quillmere
