#include "core/render/engine/gpu_render_engine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <future>
#include <limits>
#include <semaphore>
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
    std::future<OpenedPhoto> open(GPURenderEngine& engine, const std::string& url,
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
    expectCancelled(opened);
    expectCancelled(previewed);
    expectCancelled(photoExport);

    JobGate gate("open /photos/running.dng");
    loader->onCall = std::ref(gate);
    std::stop_source stop;
    auto running = open(*engine, "/photos/running.dng", stop.get_token());
    gate.waitForArrival();
    auto queued = preview(*engine, EditParams{}, PreviewResolution::fit, stop.get_token());
    stop.request_stop();
    gate.release();
    expectCancelled(running);
    expectCancelled(queued);
    EXPECT_EQ(loader->callCount(), 1u);
    EXPECT_EQ(toneBuilds, 0);
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
    opens.push_back(open(*engine, "/photos/0.dng"));
    gate.waitForArrival();
    for (int request = 1; request < 12; ++request) {
        opens.push_back(open(*engine, "/photos/" + std::to_string(request) + ".dng"));
    }
    gate.release();
    for (auto& opened : opens) opened.get();
    const std::vector<std::filesystem::path> queued = loader->recordedOpens();
    ASSERT_EQ(queued.size(), 12u);
    for (int request = 0; request < 12; ++request) {
        EXPECT_EQ(queued[request], "/photos/" + std::to_string(request) + ".dng");
    }
    EXPECT_FALSE(overlapped);
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
    const std::size_t before = loader->recordedTextureCalls().size();
    EXPECT_THROW(preview(*engine, denoised, PreviewResolution::full).get(), KernelError);
    const auto calls = loader->recordedTextureCalls();
    ASSERT_EQ(calls.size(), before + 2);
    EXPECT_FALSE(calls[before].denoised);
    EXPECT_TRUE(calls[before + 1].denoised);
    EXPECT_EQ(calls[before + 1].resolution, PreviewResolution::full);
    EXPECT_EQ(calls[before + 1].method, DenoiseMethod::matchFilter);
}

TEST_F(GPURenderEngineTest, SpotRepairsAreSearchedOnTheUndenoisedFitImage) {
    auto engine = makeEngine();
    EditParams edit;
    edit.spotRepairs.push_back(SpotRepair(UUID::random(), 0.5, 0.5, 0.05, {}));
    edit.sharpening.preserveRAWTexture = true;
    edit.denoise = 30;
    EXPECT_THROW(preview(*engine, edit, PreviewResolution::full).get(), KernelError);
    const auto calls = loader->recordedTextureCalls();
    ASSERT_EQ(calls.size(), 3u);
    const auto& reference = calls.back();
    EXPECT_FALSE(reference.denoised);
    EXPECT_EQ(reference.resolution, PreviewResolution::fit);
    EXPECT_FALSE(reference.preserveRAWTexture);
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

}  // namespace
}  // namespace quillmere
