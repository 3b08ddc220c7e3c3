#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

#include "core/common/error.h"
#include "core/render/engine/gpu_render_engine.h"
#include "reader/jpeg/jpeg_file.h"
#include "tests/render/engine/spy_photo_loader.h"

namespace quillmere {
namespace {

using testing::SpyPhotoLoader;
using TexturePointer = RenderEngine::TexturePointer;

// The engine with the real develop kernels and exporters over a spy loader of a 3000 × 2000
// photo. The photo's file is the sample chart's, which serves the exporters' metadata and the
// DNG export.
class RenderJobTest : public ::testing::Test {
  protected:
    void SetUp() override { makeEngine(); }

    void makeEngine() {
        const auto device = std::make_shared<Device>();
        GPURenderEngine::Collaborators collaborators =
            GPURenderEngine::standardCollaborators(device);
        collaborators.loader = loader;
        engine = std::make_unique<GPURenderEngine>(device, std::move(collaborators));
    }

    TexturePointer render(const EditParams& edit) {
        return futureOf<TexturePointer>([&](auto done) { engine->preview(photo, edit, {}, done); })
            .get();
    }

    std::string exportPhoto(const ExportOptions& options) {
        return futureOf<std::string>(
                   [&](auto done) { engine->exportPhoto(photo, neutral(), options, {}, done); })
            .get();
    }

    // The neutral edit of the spy's photo: its as-shot white balance, nothing else.
    static EditParams neutral() { return EditParams::neutral(5000, 10); }

    std::shared_ptr<SpyPhotoLoader> loader = std::make_shared<SpyPhotoLoader>(3000, 2000);
    std::unique_ptr<GPURenderEngine> engine;
    const PhotoID photo{QUILLMERE_TEST_DATA_DIR "/tinydng_colorchart.dng"};
};

TEST_F(RenderJobTest, SharpeningScalesItsRadiusWithTheRendersShareOfThePhoto) {
    // The fit render of the 3000 px wide photo is 2048 px wide: its radius 3 sharpens as radius
    // 3 × 2048 / 3000 does on a photo of the render's own size. A soft wave of 10 render pixels,
    // whose sharpening depends on the radius (a hard edge's is bounded alike at any radius).
    const auto wave = [](double u, double) {
        const float v = 0.2f + 0.05f * static_cast<float>(std::sin(u * 2048 / 10 * 2 * M_PI));
        return msl::float4{v, v, v, 1};
    };
    loader->scene = wave;
    EditParams edit = neutral();
    edit.sharpening = {.amount = 150, .radius = 3, .detail = 50, .masking = 0};
    const TexturePointer wide = render(edit);
    loader = std::make_shared<SpyPhotoLoader>(2048, 1365);
    loader->scene = wave;
    makeEngine();
    edit.sharpening.radius = 3.0 * 2048 / 3000;
    const TexturePointer fitting = render(edit);
    for (int x = 100; x < 120; ++x) {
        EXPECT_NEAR(wide->read(x, 600).y, fitting->read(x, 600).y, 1e-3f) << x;
    }
}

TEST_F(RenderJobTest, AJPEGIsRenderedAtFullSizeAndScaledDownByTheExporter) {
    ExportOptions limit = options(ExportPreset::balanced);
    limit.maxLongEdge = 150;
    const std::string exported = exportPhoto(limit);
    const LinearImage limited = JpegFile(exported).decodeLinear(1);
    EXPECT_EQ(limited.width, 150);
    EXPECT_EQ(limited.height, 100);
    const auto calls = loader->recordedTextureCalls();
    ASSERT_FALSE(calls.empty());
    for (const auto& call : calls) EXPECT_EQ(call.resolution, PreviewResolution::full);
}

TEST_F(RenderJobTest, ADNGExportNeitherRendersNorWaitsForTheEngineLock) {
    // A synchronous preview holds the engine lock inside the loader until it is cancelled.
    loader->holdUntilCancelled = true;
    std::atomic<bool> stopSync = false;
    std::thread syncCaller([&] {
        EXPECT_THROW(engine->previewSync(photo, EditParams{}, PreviewResolution::fit,
                                         [&] { return stopSync.load(); }),
                     CancellationError);
    });
    loader->textureCallHeld.acquire();

    ExportOptions dngOptions = options(ExportPreset::balanced);
    dngOptions.format = ExportFormat::dng;
    const std::string dng = exportPhoto(dngOptions);
    EXPECT_EQ(dng.substr(0, 4), std::string("II*\0", 4));
    stopSync = true;
    syncCaller.join();
    EXPECT_EQ(loader->recordedTextureCalls().size(), 0u);
}

TEST_F(RenderJobTest, AJPEGExportCancelledWhileRenderingReportsCancellation) {
    loader->holdUntilCancelled = true;
    std::stop_source stop;
    auto exported = futureOf<std::string>([&](auto done) {
        engine->exportPhoto(photo, EditParams{}, options(ExportPreset::balanced), stop.get_token(),
                            done);
    });
    loader->textureCallHeld.acquire();
    stop.request_stop();
    EXPECT_THROW(exported.get(), CancellationError);
}

}  // namespace
}  // namespace quillmere
