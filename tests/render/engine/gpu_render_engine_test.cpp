#include "core/render/engine/gpu_render_engine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <future>
#include <limits>
#include <thread>
#include <vector>

#include "core/common/error.h"
#include "core/compute/kernel_errors.h"
#include "core/photo/gpu_render_engine_error.h"
#include "tests/render/engine/spy_photo_loader.h"

namespace quillmere {
namespace {

using testing::SpyPhotoLoader;
using Texture = RenderEngine::TexturePointer;

const PhotoID kPhoto{"/photos/a.dng"};

class GPURenderEngineTest : public ::testing::Test {
  protected:
    // An engine whose tone kernel can never be built: every preview stops at that stage, after
    // all its loader calls.
    std::unique_ptr<GPURenderEngine> makeEngine(
        std::shared_ptr<const Device> device = std::make_shared<Device>()) {
        return std::make_unique<GPURenderEngine>(
            std::move(device),
            GPURenderEngine::Collaborators{
                .loader = loader,
                .makeToneKernel =
                    [this](std::shared_ptr<const Device>) -> std::shared_ptr<ToneKernel> {
                    ++toneBuilds;
                    throw KernelError::functionNotFound("tone_kernel_main");
                },
                .makeSpotRepairKernel =
                    [](std::shared_ptr<const Device> device) {
                        return std::make_shared<SpotRepairKernel>(std::move(device));
                    }});
    }

    std::future<Texture> preview(GPURenderEngine& engine, const EditParams& edit,
                                 PreviewResolution resolution = PreviewResolution::fit,
                                 std::stop_token stop = {}) {
        return futureOf<Texture>(
            [&](auto done) { engine.preview(kPhoto, edit, resolution, {}, stop, done); });
    }
    std::future<OpenedPhoto> open(GPURenderEngine& engine, const std::filesystem::path& url,
                                  std::stop_token stop = {}) {
        return futureOf<OpenedPhoto>([&](auto done) { engine.open(url, stop, done); });
    }

    std::shared_ptr<SpyPhotoLoader> loader = std::make_shared<SpyPhotoLoader>();
    std::atomic<int> toneBuilds = 0;
};

// A request cancelled before it starts never reaches the loader; one cancelled while its job
// runs reports only its cancellation, though the loader answered.
TEST_F(GPURenderEngineTest, ACancelledRequestReportsOnlyItsCancellation) {
    auto engine = makeEngine();
    std::stop_source stopped;
    stopped.request_stop();
    auto opened = open(*engine, "/photos/a.dng", stopped.get_token());
    auto previewed = preview(*engine, EditParams{}, PreviewResolution::fit, stopped.get_token());
    ExportOptions dng;
    dng.format = ExportFormat::dng;
    auto photoExport = futureOf<std::string>([&](auto done) {
        engine->exportPhoto(kPhoto, EditParams{}, dng, stopped.get_token(), done);
    });
    EXPECT_THROW(opened.get(), CancellationError);
    EXPECT_THROW(previewed.get(), CancellationError);
    EXPECT_THROW(photoExport.get(), CancellationError);

    loader->heldOpen = "/photos/running.dng";
    std::stop_source stop;
    auto running = open(*engine, "/photos/running.dng", stop.get_token());
    loader->openHeld.acquire();
    auto queued = preview(*engine, EditParams{}, PreviewResolution::fit, stop.get_token());
    stop.request_stop();
    loader->releaseOpen.release();
    EXPECT_THROW(running.get(), CancellationError);
    EXPECT_THROW(queued.get(), CancellationError);
    EXPECT_EQ(loader->recordedOpens().size(), 1u);
    EXPECT_EQ(toneBuilds, 0);
}

TEST_F(GPURenderEngineTest, RequestsRunOneAtATimeInTheOrderTheyWereMade) {
    auto engine = makeEngine();
    std::atomic<int> inside = 0;
    std::atomic<bool> overlapped = false;
    loader->heldOpen = "/photos/0.dng";
    loader->onCall = [&] {
        if (inside.fetch_add(1) != 0) overlapped = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        inside.fetch_sub(1);
    };
    std::vector<std::filesystem::path> urls;
    for (int request = 0; request < 12; ++request) {
        urls.push_back("/photos/" + std::to_string(request) + ".dng");
    }
    std::vector<std::future<OpenedPhoto>> opens;
    opens.push_back(open(*engine, urls[0]));
    loader->openHeld.acquire();
    for (int request = 1; request < 12; ++request) opens.push_back(open(*engine, urls[request]));
    loader->releaseOpen.release();
    for (auto& opened : opens) opened.get();
    EXPECT_EQ(loader->recordedOpens(), urls);
    EXPECT_FALSE(overlapped);
}

// The clean texture is decoded only for a positive finite denoise, at the render's resolution and
// by its method; spot repairs search the undenoised fit-size image whatever is rendered.
TEST_F(GPURenderEngineTest, TheLoaderIsAskedForTheTexturesTheEditNeeds) {
    auto engine = makeEngine();
    const double inf = std::numeric_limits<double>::infinity();
    for (const double denoise : {0.0, -5.0, std::nan(""), inf, -inf}) {
        EditParams edit;
        edit.denoise = denoise;
        EXPECT_THROW(preview(*engine, edit).get(), KernelError);
    }
    for (const auto& call : loader->recordedTextureCalls()) EXPECT_FALSE(call.denoised);

    EditParams edit;
    edit.denoise = 40;
    edit.denoiseMethod = DenoiseMethod::matchFilter;
    edit.sharpening.preserveRAWTexture = true;
    edit.spotRepairs.push_back(SpotRepair(UUID::random(), 0.5, 0.5, 0.05, {}));
    const std::size_t before = loader->recordedTextureCalls().size();
    EXPECT_THROW(preview(*engine, edit, PreviewResolution::full).get(), KernelError);
    const auto full = PreviewResolution::full, fit = PreviewResolution::fit;
    const auto method = DenoiseMethod::matchFilter;
    const std::vector<SpyPhotoLoader::TextureCall> expected{
        {false, full, method, true}, {true, full, method, true}, {false, fit, method, false}};
    const auto calls = loader->recordedTextureCalls();
    EXPECT_EQ(std::vector(calls.begin() + before, calls.end()), expected);
}

TEST_F(GPURenderEngineTest, DestroyingTheEngineEndsEveryOutstandingRequestWithCancellation) {
    auto engine = makeEngine();
    // The running preview waits in the loader until it is cancelled, which only the engine's
    // destruction does.
    loader->holdUntilCancelled = true;
    auto running = preview(*engine, EditParams{});
    loader->textureCallHeld.acquire();
    auto queuedOpen = open(*engine, "/photos/queued.dng");
    auto queuedPreview = preview(*engine, EditParams{});

    engine.reset();

    EXPECT_THROW(running.get(), CancellationError);
    EXPECT_THROW(queuedOpen.get(), CancellationError);
    EXPECT_THROW(queuedPreview.get(), CancellationError);
    EXPECT_EQ(loader->recordedOpens().size(), 1u);
}

}  // namespace
}  // namespace quillmere
