#include <gtest/gtest.h>

#include <semaphore>
#include <thread>

#include "core/common/error.h"
#include "core/imageio/jpeg_decoder.h"
#include "core/render/engine/gpu_render_engine.h"
#include "tests/render/engine/spy_photo_loader.h"

namespace quillmere {
namespace {

using testing::SpyPhotoLoader;

const PhotoID kChart{QUILLMERE_TEST_DATA_DIR "/tinydng_colorchart.dng"};

class ExportJobTest : public ::testing::Test {
  protected:
    std::string exportPhoto(const ExportOptions& options, std::stop_token stop = {}) {
        return futureOf<std::string>([&](auto done) {
                   engine.exportPhoto(kChart, EditParams::neutral(5000, 10), options, stop, done);
               })
            .get();
    }

    static ExportOptions jpegOptions(std::optional<std::int64_t> maxLongEdge) {
        return {.format = ExportFormat::jpeg,
                .quality = 0.9,
                .maxLongEdge = maxLongEdge,
                .includeSoftware = false,
                .includeEditParameters = false};
    }

    // 600 × 400 grey frames in place of the chart's own pixels; the chart's file still serves
    // the exporters' metadata and the DNG export.
    std::shared_ptr<SpyPhotoLoader> loader = std::make_shared<SpyPhotoLoader>(600, 400);
    GPURenderEngine engine{
        std::make_shared<Device>(), [this] {
            auto collaborators = GPURenderEngine::standardCollaborators(std::make_shared<Device>());
            collaborators.loader = loader;
            return collaborators;
        }()};
};

TEST_F(ExportJobTest, AJPEGIsRenderedAtFullSizeAndScaledDownByTheExporter) {
    const LinearImage limited = decodeJpeg(exportPhoto(jpegOptions(150)), 1);
    EXPECT_EQ(limited.width, 150);
    EXPECT_EQ(limited.height, 100);
    const auto calls = loader->recordedTextureCalls();
    ASSERT_FALSE(calls.empty());
    for (const auto& call : calls) EXPECT_EQ(call.resolution, PreviewResolution::full);

    const LinearImage whole = decodeJpeg(exportPhoto(jpegOptions(std::nullopt)), 1);
    EXPECT_EQ(whole.width, 600);
    EXPECT_EQ(whole.height, 400);
    const std::string plain = futureOf<std::string>([&](auto done) {
                                  engine.exportJPEG(kChart, EditParams{}, 0.5, {}, done);
                              }).get();
    EXPECT_EQ(decodeJpeg(plain, 1).width, 600);
}

TEST_F(ExportJobTest, ADNGExportNeitherRendersNorWaitsForTheEngineLock) {
    // A synchronous preview holds the engine lock inside the loader until it is cancelled.
    loader->holdUntilCancelled = true;
    std::binary_semaphore holding{0};
    loader->onCall = [&](const std::string& call) {
        if (call.starts_with("texture")) holding.release();
    };
    std::atomic<bool> stopSync = false;
    std::thread syncCaller([&] {
        EXPECT_THROW(engine.previewSync(kChart, EditParams{}, PreviewResolution::fit,
                                        [&] { return stopSync.load(); }),
                     CancellationError);
    });
    holding.acquire();

    ExportOptions options = jpegOptions(std::nullopt);
    options.format = ExportFormat::dng;
    const std::string dng = exportPhoto(options);
    EXPECT_EQ(dng.substr(0, 4), std::string("II*\0", 4));
    stopSync = true;
    syncCaller.join();
    EXPECT_EQ(loader->recordedTextureCalls().size(), 0u);
}

TEST_F(ExportJobTest, AJPEGExportCancelledWhileRenderingReportsCancellation) {
    loader->holdUntilCancelled = true;
    std::binary_semaphore holding{0};
    loader->onCall = [&](const std::string& call) {
        if (call.starts_with("texture")) holding.release();
    };
    std::stop_source stop;
    auto exported = futureOf<std::string>([&](auto done) {
        engine.exportPhoto(kChart, EditParams{}, jpegOptions(std::nullopt), stop.get_token(), done);
    });
    holding.acquire();
    stop.request_stop();
    EXPECT_THROW(exported.get(), CancellationError);
}

}  // namespace
}  // namespace quillmere
