#include <gtest/gtest.h>
#include <tbb/global_control.h>

#include <array>
#include <cmath>

#include "core/decode/raw_loader.h"
#include "core/render/develop/white_balance.h"
#include "core/render/engine/gpu_render_engine.h"
#include "tests/fixtures/develop_fixtures.h"
#include "tests/fixtures/synthetic_dng.h"
#include "tests/fixtures/temporary_folder.h"
#include "tests/fixtures/texture_fixtures.h"

namespace quillmere {
namespace {

namespace fs = std::filesystem;
using Rgb = std::array<double, 3>;
using TexturePointer = RenderEngine::TexturePointer;

const fs::path kChart = fs::path(QUILLMERE_TEST_DATA_DIR) / "tinydng_colorchart.dng";

// The neutral row of the colour checker, white to black, as fractions of the width, and its
// height as a fraction of the height from the top; the red patch.
constexpr std::array<double, 6> kGreyColumns{0.406, 0.468, 0.532, 0.596, 0.659, 0.723};
constexpr double kGreyRow = 0.805;
constexpr double kRedColumn = 0.532, kRedRow = 0.71;

// Mean and standard deviation of each channel over the square of half-size 1 % of the width
// around (x from the left, y from the top) of a texture whose row 0 is its bottom row.
std::pair<Rgb, Rgb> patchStatistics(const Texture& texture, double x, double y) {
    const int radius = static_cast<int>(0.01 * texture.width());
    const int cx = static_cast<int>(x * texture.width());
    const int cy = texture.height() - 1 - static_cast<int>(y * texture.height());
    Rgb sum{}, squares{};
    int count = 0;
    for (int row = cy - radius; row <= cy + radius; ++row) {
        for (int column = cx - radius; column <= cx + radius; ++column) {
            const msl::float4 texel = texture.read(column, row);
            for (int c = 0; c < 3; ++c) {
                sum[c] += texel[c];
                squares[c] += texel[c] * texel[c];
            }
            ++count;
        }
    }
    Rgb mean, deviation;
    for (int c = 0; c < 3; ++c) {
        mean[c] = sum[c] / count;
        deviation[c] = std::sqrt(std::max(squares[c] / count - mean[c] * mean[c], 0.0));
    }
    return {mean, deviation};
}

// A white-balance pick: the temperature and tint whose gains make `linear` grey, on a grid of
// 25 K and 0.5 tint steps.
std::pair<double, double> pickWhiteBalance(const Rgb& linear, const OpenedPhoto& photo) {
    double best = INFINITY;
    std::pair<double, double> pick;
    for (double temperature = 2000; temperature <= 15000; temperature += 25) {
        for (double tint = -150; tint <= 150; tint += 0.5) {
            const auto gains =
                whiteBalanceGains(temperature, tint, photo.asShotTemperature, photo.asShotTint);
            const double error =
                std::pow(std::log(gains[0] * linear[0] / (gains[1] * linear[1])), 2) +
                std::pow(std::log(gains[2] * linear[2] / (gains[1] * linear[1])), 2);
            if (error < best) best = error, pick = {temperature, tint};
        }
    }
    return pick;
}

TexturePointer preview(GPURenderEngine& engine, const PhotoID& photo, const EditParams& edit) {
    return futureOf<TexturePointer>(
               [&](auto done) { engine.preview(photo, edit, PreviewResolution::fit, {}, done); })
        .get();
}

// The real colour chart developed along the Natural path: after a white-balance pick on the
// middle grey patch every grey patch is neutral and the row grows darker from white to black (so
// the chart is upright, the camera matrix applied the right way round), the red patch is red,
// and the Natural noise reduction at 100 lowers the noise of the flat grey patches by at least
// half.
TEST(EndToEndDevelopTest, TheColourChartDevelopsNeutralAndTheNoiseFilterHalvesItsNoise) {
    GPURenderEngine engine(std::make_shared<Device>());
    const OpenedPhoto opened =
        futureOf<OpenedPhoto>([&](auto done) { engine.open(kChart, {}, done); }).get();
    // The pick is made on the decoded linear image, as the picker samples it.
    RAWLoader picker(std::make_shared<Device>());
    picker.open(kChart);
    const auto decoded =
        picker.texture(opened.id, {false, PreviewResolution::fit, DenoiseMethod::natural, false},
                       [] { return false; }, {});
    EditParams edit;
    std::tie(edit.temperature, edit.tint) =
        pickWhiteBalance(patchStatistics(*decoded, kGreyColumns[2], kGreyRow).first, opened);

    const TexturePointer developed = preview(engine, opened.id, edit);
    ASSERT_EQ(developed->width(), decoded->width());
    double previousLevel = 2;
    for (const double column : kGreyColumns) {
        const Rgb grey = patchStatistics(*developed, column, kGreyRow).first;
        SCOPED_TRACE(column);
        EXPECT_NEAR(grey[0], grey[1], 6.0 / 255);
        EXPECT_NEAR(grey[2], grey[1], 6.0 / 255);
        EXPECT_LT(grey[1], previousLevel - 0.03);
        previousLevel = grey[1];
    }
    const Rgb red = patchStatistics(*developed, kRedColumn, kRedRow).first;
    EXPECT_GT(red[0], 2 * red[1]);
    EXPECT_GT(red[0], 2 * red[2]);

    edit.denoise = 100;
    const TexturePointer denoised = preview(engine, opened.id, edit);
    for (const double column : {kGreyColumns[2], kGreyColumns[3], kGreyColumns[4]}) {
        const double before = patchStatistics(*developed, column, kGreyRow).second[1];
        const double after = patchStatistics(*denoised, column, kGreyRow).second[1];
        EXPECT_LT(after, before / 2) << column;
    }
}

// Every parallel pass gives the same bytes on one thread as on many: the develop, recovery,
// sharpening, spot healing, the sensor noise reduction, the Detail denoiser's tiles, the chroma
// kernel of the RAW texture, and the Lanczos scaling and 8-bit conversion of an export.
TEST(EndToEndDevelopTest, OneThreadAndManyGiveTheSameBytes) {
    testing::TemporaryFolder folder;
    const PhotoID photo{folder.path() / "scene.dng"};
    fixtures::SyntheticDNGOptions options;
    options.width = 300;
    options.height = 200;
    options.scene = fixtures::gradientScene(300, 200);
    options.shotNoise = 2e-4;
    options.readNoiseVariance = 1e-5;
    fixtures::writeSyntheticDNG(photo.url, options);
    EditParams everything = testing::editFromJSON(R"({
        "exposure": 0.3, "contrast": 25, "highlights": -60, "shadows": 40, "whites": 10,
        "blacks": -10, "temperature": 4800, "tint": 8, "vibrance": 20, "saturation": -10,
        "denoise": 60, "sharpening": {"amount": 80, "radius": 1.5, "detail": 50, "masking": 20},
        "toneCurve": {"rgb": [[0, 0], [64, 50], [192, 205], [255, 255]]},
        "hsl": {"hue": [20, 0, 0, 0, 0, -30, 0, 0], "luminance": [0, 0, 0, 30, 0, 0, 0, 0],
                "points": [{"hue": 30, "saturation": 0.5, "brightness": 0.6, "hueShift": 40}]},
        "spotRepairs": [{"id": "6F1C2B0A-4D7E-4C55-9A3B-2E8F10D4C7A1", "x": 0.5, "y": 0.5,
                         "radius": 0.04, "path": [{"x": 0.55, "y": 0.52}]}]})");
    EditParams detail = everything;
    detail.denoiseMethod = DenoiseMethod::matchFilter;
    EditParams rawTexture;
    rawTexture.sharpening.preserveRAWTexture = true;
    ExportOptions scaled = quillmere::options(ExportPreset::compact);
    scaled.maxLongEdge = 170;

    const auto run = [&](std::size_t threads) {
        const tbb::global_control limit(tbb::global_control::max_allowed_parallelism, threads);
        GPURenderEngine engine(std::make_shared<Device>());
        futureOf<OpenedPhoto>([&](auto done) { engine.open(photo.url, {}, done); }).get();
        std::vector<std::vector<std::byte>> results;
        for (const EditParams& edit : {everything, detail, rawTexture}) {
            results.push_back(testing::readBytes(*preview(engine, photo, edit)));
        }
        const std::string jpeg = futureOf<std::string>([&](auto done) {
                                     engine.exportPhoto(photo, everything, scaled, {}, done);
                                 }).get();
        results.emplace_back(reinterpret_cast<const std::byte*>(jpeg.data()),
                             reinterpret_cast<const std::byte*>(jpeg.data() + jpeg.size()));
        return results;
    };
    EXPECT_EQ(run(1), run(8));
}

}  // namespace
}  // namespace quillmere
