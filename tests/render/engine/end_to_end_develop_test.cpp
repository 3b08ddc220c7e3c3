#include <gtest/gtest.h>
#include <tbb/global_control.h>

#include "core/render/engine/gpu_render_engine.h"
#include "tests/fixtures/develop_fixtures.h"
#include "tests/fixtures/synthetic_dng.h"
#include "tests/fixtures/temporary_folder.h"
#include "tests/fixtures/texture_fixtures.h"

namespace quillmere {
namespace {

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
    const ExportOptions scaled{.format = ExportFormat::jpeg,
                               .quality = 0.9,
                               .maxLongEdge = 170,
                               .includeSoftware = false,
                               .includeEditParameters = false};

    const auto run = [&](std::size_t threads) {
        const tbb::global_control limit(tbb::global_control::max_allowed_parallelism, threads);
        GPURenderEngine engine(std::make_shared<Device>());
        futureOf<OpenedPhoto>([&](auto done) { engine.open(photo.url, {}, done); }).get();
        std::vector<std::vector<std::byte>> results;
        for (const EditParams& edit : {everything, detail, rawTexture}) {
            auto developed = futureOf<RenderEngine::TexturePointer>(
                [&](auto done) { engine.preview(photo, edit, PreviewResolution::fit, {}, done); });
            results.push_back(testing::readBytes(*developed.get()));
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
