#include "core/render/engine/gpu_render_engine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <future>
#include <limits>
#include <semaphore>
#include <thread>

#include "core/common/error.h"
#include "core/photo/gpu_render_engine_error.h"
#include "core/compute/kernel_errors.h"
#include "tests/render/engine/spy_photo_loader.h"

namespace quillmere {
namespace {

using testing::SpyPhotoLoader;
using Texture = RenderEngine::TexturePointer;

const PhotoID kPhoto{"/photos/a.dng"};

ExportOptions dngOptions() {
    ExportOptions options;
    options.format = ExportFormat::dng;
    return options;
}

// Holds the job whose loader call matches `call` until released.
class JobGate {
  public:
    explicit JobGate(std::string call) : call(std::move(call)) {}

    void operator()(const std::string& entered) {
        if (entered != call) return;
        arrived.release();
        released.acquire();
    }
    void waitForArrival() { arrived.acquire(); }
    void release() { released.release(); }

  private:
    std::string call;
    std::binary_semaphore arrived{0};
    std::binary_semaphore released{0};
};

template <class T>
void expectCancelled(std::future<T>& future) {
    EXPECT_THROW(future.get(), CancellationError);
}

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
                    [this](std::shared_ptr<const Device> device) {
                        ++spotBuilds;
                        if (failSpotBuild) {
                            throw GPURenderEngineError::renderFailed(
                                "Could not load the spot repair tool.");
                        }
                        return std::make_shared<SpotRepairKernel>(std::move(device));
                    }});
    }

    std::future<Texture> preview(GPURenderEngine& engine, const EditParams& edit,
                                 PreviewResolution resolution = PreviewResolution::fit,
                                 std::stop_token stop = {},
                                 RenderEngine::ProgressCallback progress = {}) {
        return futureOf<Texture>([&](auto done) {
            engine.preview(kPhoto, edit, resolution, std::move(progress), stop, done);
        });
    }
    std::future<OpenedPhoto> open(GPURenderEngine& engine, const std::string& url,
                                  std::stop_token stop = {}) {
        return futureOf<OpenedPhoto>([&](auto done) { engine.open(url, stop, done); });
    }

    std::shared_ptr<SpyPhotoLoader> loader = std::make_shared<SpyPhotoLoader>();
    std::atomic<int> toneBuilds = 0;
    std::atomic<int> spotBuilds = 0;
    bool failSpotBuild = false;
};

TEST_F(GPURenderEngineTest, ARequestCancelledBeforeItStartsNeverReachesTheLoader) {
    auto engine = makeEngine();
    std::stop_source stopped;
    stopped.request_stop();

    auto opened = open(*engine, "/photos/a.dng", stopped.get_token());
    auto previewed = preview(*engine, EditParams{}, PreviewResolution::fit, stopped.get_token());
    auto photoExport = futureOf<std::string>([&](auto done) {
        engine->exportPhoto(kPhoto, EditParams{}, dngOptions(), stopped.get_token(), done);
    });
    auto jpeg = futureOf<std::string>([&](auto done) {
        engine->exportJPEG(kPhoto, EditParams{}, 0.9, stopped.get_token(), done);
    });
    expectCancelled(opened);
    expectCancelled(previewed);
    expectCancelled(photoExport);
    expectCancelled(jpeg);

    // Cancelled while it waits behind a running job.
    JobGate gate("open /photos/first.dng");
    loader->onCall = std::ref(gate);
    auto first = open(*engine, "/photos/first.dng");
    gate.waitForArrival();
    std::stop_source waiting;
    auto queued = preview(*engine, EditParams{}, PreviewResolution::fit, waiting.get_token());
    waiting.request_stop();
    gate.release();
    EXPECT_EQ(first.get().id.url, "/photos/first.dng");
    expectCancelled(queued);
    EXPECT_EQ(loader->callCount(), 1u);
    EXPECT_EQ(toneBuilds, 0);
}

TEST_F(GPURenderEngineTest, ARequestCancelledWhileItsJobRunsDropsTheResult) {
    auto engine = makeEngine();
    JobGate gate("open /photos/a.dng");
    loader->onCall = std::ref(gate);
    std::stop_source stop;
    auto opened = open(*engine, "/photos/a.dng", stop.get_token());
    gate.waitForArrival();
    stop.request_stop();
    gate.release();
    // The loader answered, yet the request reports only its cancellation.
    expectCancelled(opened);
    EXPECT_EQ(loader->recordedOpens().size(), 1u);

    // A cancelled preview ends at the loader's next poll.
    JobGate textureGate("texture " + kPhoto.url.native());
    loader->onCall = std::ref(textureGate);
    std::stop_source previewStop;
    auto previewed =
        preview(*engine, EditParams{}, PreviewResolution::fit, previewStop.get_token());
    textureGate.waitForArrival();
    previewStop.request_stop();
    textureGate.release();
    expectCancelled(previewed);
    EXPECT_TRUE(loader->recordedTextureCalls().empty());
}

TEST_F(GPURenderEngineTest, RequestsRunOneAtATimeInTheOrderTheyWereMade) {
    auto engine = makeEngine();
    std::atomic<int> inside = 0;
    std::atomic<bool> overlapped = false;
    JobGate gate("open /photos/0.dng");
    loader->onCall = [&](const std::string& call) {
        gate(call);
        if (inside.fetch_add(1) != 0) overlapped = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        inside.fetch_sub(1);
    };

    std::vector<std::future<OpenedPhoto>> opens;
    std::vector<std::future<Texture>> previews;
    opens.push_back(open(*engine, "/photos/0.dng"));
    gate.waitForArrival();
    for (int request = 1; request < 12; ++request) {
        const std::string url = "/photos/" + std::to_string(request) + ".dng";
        if (request % 2 == 0) {
            opens.push_back(open(*engine, url));
        } else {
            previews.push_back(futureOf<Texture>(
                [&](auto done) { engine->preview(PhotoID{url}, EditParams{}, {}, done); }));
        }
    }
    gate.release();
    for (auto& opened : opens) opened.get();
    for (auto& previewed : previews) EXPECT_THROW(previewed.get(), KernelError);

    const std::vector<std::filesystem::path> queued = loader->recordedOpens();
    ASSERT_EQ(queued.size(), 12u);
    for (int request = 0; request < 12; ++request) {
        EXPECT_EQ(queued[request], "/photos/" + std::to_string(request) + ".dng");
    }
    EXPECT_FALSE(overlapped);
}

TEST_F(GPURenderEngineTest, AToneKernelThatFailsToBuildFailsEveryPreviewWithoutAnotherAttempt) {
    auto engine = makeEngine();
    for (int attempt = 0; attempt < 3; ++attempt) {
        auto previewed = preview(*engine, EditParams{});
        try {
            previewed.get();
            ADD_FAILURE() << "the preview succeeded";
        } catch (const KernelError& error) {
            EXPECT_EQ(error.code(), KernelError::Code::functionNotFound);
            EXPECT_EQ(error.functionName(), "tone_kernel_main");
        }
    }
    EXPECT_EQ(toneBuilds, 1);
    EXPECT_THROW(
        engine->previewSync(kPhoto, EditParams{}, PreviewResolution::full, [] { return false; }),
        KernelError);
    EXPECT_EQ(toneBuilds, 1);
    EXPECT_EQ(loader->recordedOpens().size(), 4u);  // every attempt still decoded first
}

TEST_F(GPURenderEngineTest, OnlyAPositiveFiniteDenoiseAsksForTheCleanTexture) {
    auto engine = makeEngine();
    const double inf = std::numeric_limits<double>::infinity();
    for (const double denoise : {0.0, -5.0, std::nan(""), inf, -inf}) {
        EditParams edit;
        edit.denoise = denoise;
        EXPECT_THROW(preview(*engine, edit).get(), KernelError);
    }
    for (const auto& call : loader->recordedTextureCalls()) EXPECT_FALSE(call.denoised);

    EditParams denoised;
    denoised.denoise = 40;
    denoised.denoiseMethod = DenoiseMethod::matchFilter;
    denoised.sharpening.preserveRAWTexture = true;
    const std::size_t before = loader->recordedTextureCalls().size();
    EXPECT_THROW(preview(*engine, denoised, PreviewResolution::full, {}, [](double) {}).get(),
                 KernelError);
    const auto calls = loader->recordedTextureCalls();
    ASSERT_EQ(calls.size(), before + 2);
    const auto& source = calls[before];
    const auto& clean = calls[before + 1];
    EXPECT_FALSE(source.denoised);
    EXPECT_FALSE(source.withProgress);  // only the denoise reports progress
    EXPECT_TRUE(source.preserveRAWTexture);
    EXPECT_TRUE(clean.denoised);
    EXPECT_TRUE(clean.withProgress);
    EXPECT_EQ(clean.resolution, PreviewResolution::full);
    EXPECT_EQ(clean.method, DenoiseMethod::matchFilter);
}

TEST_F(GPURenderEngineTest, SpotRepairsAreSearchedOnTheUndenoisedFitImageWithAKernelBuiltOnce) {
    auto engine = makeEngine();
    EXPECT_THROW(preview(*engine, EditParams{}).get(), KernelError);
    EXPECT_EQ(spotBuilds, 0);  // no repairs, no kernel

    EditParams edit;
    edit.spotRepairs.push_back(SpotRepair(UUID::random(), 0.5, 0.5, 0.05, {}));
    edit.sharpening.preserveRAWTexture = true;
    edit.denoise = 30;
    failSpotBuild = true;
    try {
        preview(*engine, edit, PreviewResolution::full).get();
        ADD_FAILURE() << "the preview succeeded";
    } catch (const GPURenderEngineError& error) {
        EXPECT_STREQ(error.what(), "Could not load the spot repair tool.");
    }
    failSpotBuild = false;
    for (int render = 0; render < 2; ++render) {
        EXPECT_THROW(preview(*engine, edit, PreviewResolution::full).get(), KernelError);
    }
    EXPECT_EQ(spotBuilds, 2);  // the failure was not kept; the success was

    const auto calls = loader->recordedTextureCalls();
    ASSERT_GE(calls.size(), 3u);
    const auto& reference = calls.back();
    EXPECT_FALSE(reference.denoised);
    EXPECT_EQ(reference.resolution, PreviewResolution::fit);
    EXPECT_FALSE(reference.preserveRAWTexture);
}

TEST_F(GPURenderEngineTest, WithoutADeviceOpeningWorksAndRenderingIsRefusedBeforeDecoding) {
    auto engine = makeEngine(nullptr);
    EXPECT_EQ(open(*engine, "/photos/a.jpg").get().pixelWidth, 64);
    try {
        preview(*engine, EditParams{}).get();
        ADD_FAILURE() << "the preview succeeded";
    } catch (const GPURenderEngineError& error) {
        EXPECT_EQ(error.code(), GPURenderEngineError::Code::gpuUnavailable);
        EXPECT_STREQ(error.what(), "A Metal GPU is required.");
    }
    EXPECT_THROW(futureOf<std::string>([&](auto done) {
                     engine->exportJPEG(kPhoto, EditParams{}, 0.8, {}, done);
                 }).get(),
                 GPURenderEngineError);
    EXPECT_EQ(loader->callCount(), 1u);
    EXPECT_EQ(toneBuilds, 0);

    // A DNG export needs no GPU.
    const std::string dng =
        futureOf<std::string>([&](auto done) {
            engine->exportPhoto(PhotoID{QUILLMERE_TEST_DATA_DIR "/tinydng_colorchart.dng"},
                                EditParams{}, dngOptions(), {}, done);
        }).get();
    EXPECT_EQ(dng.substr(0, 4), std::string("II*\0", 4));
}

TEST_F(GPURenderEngineTest, DestroyingTheEngineEndsEveryOutstandingRequestWithCancellation) {
    auto engine = makeEngine();
    // The running preview waits in the loader until it is cancelled, which only the engine's
    // destruction does.
    loader->holdUntilCancelled = true;
    std::binary_semaphore holding{0};
    loader->onCall = [&](const std::string& call) {
        if (call.starts_with("texture")) holding.release();
    };
    auto running = preview(*engine, EditParams{});
    holding.acquire();
    auto queuedOpen = open(*engine, "/photos/queued.dng");
    auto queuedPreview = preview(*engine, EditParams{});

    engine.reset();

    expectCancelled(running);
    expectCancelled(queuedOpen);
    expectCancelled(queuedPreview);
    EXPECT_EQ(loader->recordedOpens().size(), 1u);
}

TEST_F(GPURenderEngineTest, SynchronousCallsPollTheCallersPredicate) {
    auto engine = makeEngine();
    EXPECT_EQ(engine->openSync("/photos/a.dng").id, kPhoto);
    EXPECT_THROW(
        engine->previewSync(kPhoto, EditParams{}, PreviewResolution::fit, [] { return true; }),
        CancellationError);
    EXPECT_THROW(engine->exportJPEGSync(kPhoto, EditParams{}, 0.9, [] { return true; }),
                 CancellationError);
}

}  // namespace
}  // namespace quillmere
