#include "core/render/engine/render_engine.h"

#include <gtest/gtest.h>

#include <atomic>

#include "core/common/error.h"
#include "core/compute/device.h"
#include "core/edit/edit_params.h"
#include "core/render/export/exporter_error.h"

namespace quillmere {
namespace {

// Implements only what an engine must: open, the plain preview and exportJPEG.
class MinimalEngine : public RenderEngine {
  public:
    using RenderEngine::preview;

    void open(const std::filesystem::path& url, std::stop_token stopToken,
              RenderCompletion<OpenedPhoto> completion) override {
        if (stopToken.stop_requested()) {
            completion(std::make_exception_ptr(CancellationError()));
            return;
        }
        completion(OpenedPhoto(PhotoID{url}, 4, 2, 5500, 0, json::Json::object(),
                               DenoiseBackend::standard, true));
    }

    void preview(const PhotoID&, const EditParams& params, std::stop_token,
                 RenderCompletion<TexturePointer> completion) override {
        ++previews;
        lastParams = params;
        completion(texture);
    }

    void exportJPEG(const PhotoID&, const EditParams&, double quality, std::stop_token,
                    RenderCompletion<std::string> completion) override {
        jpegQualities.push_back(quality);
        completion(std::string("jpeg bytes"));
    }

    TexturePointer texture = Device().makeTexture({.pixelFormat = PixelFormat::rgba16Float,
                                                   .width = 4,
                                                   .height = 2,
                                                   .usage = TextureUsage::shaderRead,
                                                   .storageMode = StorageMode::shared});
    int previews = 0;
    EditParams lastParams;
    std::vector<double> jpegQualities;
};

const PhotoID kPhoto{"/photos/a.dng"};

ExportOptions exportOptions(ExportFormat format, std::optional<std::int64_t> limit) {
    return {.format = format,
            .quality = 0.8,
            .maxLongEdge = limit,
            .includeSoftware = true,
            .includeEditParameters = true};
}

TEST(RenderEngineTest, ResolutionAndProgressPreviewsFallBackToThePlainPreview) {
    MinimalEngine engine;
    RenderEngine& interface = engine;
    EditParams edit;
    edit.exposure = 1;

    auto full = futureOf<RenderEngine::TexturePointer>(
        [&](auto done) { interface.preview(kPhoto, edit, PreviewResolution::full, {}, done); });
    EXPECT_EQ(full.get(), engine.texture);
    EXPECT_EQ(engine.lastParams, edit);

    std::atomic<int> progressCalls = 0;
    auto withProgress = futureOf<RenderEngine::TexturePointer>([&](auto done) {
        interface.preview(
            kPhoto, edit, PreviewResolution::fit, [&progressCalls](double) { ++progressCalls; }, {},
            done);
    });
    EXPECT_EQ(withProgress.get(), engine.texture);
    EXPECT_EQ(progressCalls, 0);
    EXPECT_EQ(engine.previews, 2);
}

TEST(RenderEngineTest, DefaultPhotoExportIsAPlainJPEGOnly) {
    MinimalEngine engine;
    RenderEngine& interface = engine;
    const auto exportWith = [&](const ExportOptions& options) {
        return futureOf<std::string>(
            [&](auto done) { interface.exportPhoto(kPhoto, EditParams(), options, {}, done); });
    };

    EXPECT_EQ(exportWith(exportOptions(ExportFormat::jpeg, std::nullopt)).get(), "jpeg bytes");
    EXPECT_EQ(engine.jpegQualities, std::vector<double>{0.8});

    for (const ExportOptions& refused : {exportOptions(ExportFormat::dng, std::nullopt),
                                         exportOptions(ExportFormat::jpeg, 2560)}) {
        try {
            exportWith(refused).get();
            ADD_FAILURE() << "the export was not refused";
        } catch (const ExporterError& error) {
            EXPECT_EQ(error.code(), ExporterError::Code::imageIOFailure);
        }
    }
    EXPECT_EQ(engine.jpegQualities.size(), 1u);
}

}  // namespace
}  // namespace quillmere
