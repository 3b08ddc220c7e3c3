// The render engine's threads, for ThreadSanitizer (scripts/test-races runs the suites whose
// names end in Race): requests made from several threads at once, the serial queue they wait in,
// cancellation set from one thread while the render thread polls it, completions, and the engine
// lock the program's own render thread and callers with threads of their own share. The cases
// check what the threads produce as well, so the ordinary build guards it too.
#include <gtest/gtest.h>

#include <cstdint>
#include <future>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include "core/common/error.h"
#include "core/render/develop/tone_kernel.h"
#include "core/render/engine/gpu_render_engine.h"
#include "core/render/engine/serial_queue.h"
#include "tests/render/engine/spy_photo_loader.h"

namespace quillmere {
namespace {

using testing::SpyPhotoLoader;
using TexturePointer = RenderEngine::TexturePointer;

constexpr int kThreads = 4;

// A texture's half-float samples, row by row.
std::vector<std::uint16_t> samplesOf(const Texture& texture) {
    std::vector<std::uint16_t> samples;
    for (int y = 0; y < texture.height(); ++y) {
        const auto row = texture.halfRow(y);
        samples.insert(samples.end(), row.begin(), row.end());
    }
    return samples;
}

// Runs `work(thread)` on kThreads threads at once and waits for them.
template <class Work>
void onThreads(Work work) {
    std::vector<std::thread> threads;
    for (int thread = 0; thread < kThreads; ++thread) threads.emplace_back(work, thread);
    for (std::thread& thread : threads) thread.join();
}

// Items submitted from several threads, some of them submitting more as the queue closes, all run,
// one at a time (they write a list without a lock) and each thread's in the order it gave them.
TEST(SerialQueueRace, ItemsFromManyThreadsRunOneAtATimeInEachThreadsOrder) {
    constexpr int kItems = 200;
    std::vector<std::pair<int, int>> ran;
    {
        SerialQueue queue("race");
        onThreads([&](int thread) {
            for (int item = 0; item < kItems; ++item) {
                queue.submit([&, thread, item] {
                    ran.emplace_back(thread, item);
                    // Submitted by an item while the queue may be closing: it still runs.
                    if (thread == 0) queue.submit([&ran] { ran.emplace_back(kThreads, 0); });
                });
            }
        });
    }
    EXPECT_EQ(ran.size(), static_cast<std::size_t>(kThreads * kItems + kItems));
    std::vector<int> next(kThreads, 0);
    for (const auto& [thread, item] : ran) {
        if (thread == kThreads) continue;
        EXPECT_EQ(item, next[thread]) << "thread " << thread;
        next[thread] = item + 1;
    }
}

// A loader that shares nothing between its calls: no lock, and a texture of its own for each (a
// texture shared between the previews would order them through its reference count), so that
// previews running at once meet only in what the engine guards itself.
class StillLoader final : public PhotoLoader {
  public:
    OpenedPhoto open(const std::filesystem::path& url) override {
        return OpenedPhoto(PhotoID{url}, 64, 48, 5000, 10, json::Json::object(),
                           DenoiseBackend::standard, true, false);
    }
    std::shared_ptr<Texture> texture(const PhotoID&, const TextureRequest&,
                                     const std::function<bool()>&,
                                     const std::function<void(double)>&) override {
        return testing::makeTexture(device, PixelFormat::rgba16Float, 64, 48, [](int x, int y) {
            return msl::float4{x / 64.0f, y / 48.0f, 0.3f, 1};
        });
    }

  private:
    // Made with the loader, before any request: making one starts the thread pool's machinery,
    // which would order the previews as well.
    const Device device;
};

class GPURenderEngineRace : public ::testing::Test {
  protected:
    // The program's develop kernels over `loader`; the tone kernel's builds counted without a
    // lock, as the engine builds it under its own.
    std::unique_ptr<GPURenderEngine> makeEngine(std::shared_ptr<PhotoLoader> loader) {
        const auto device = std::make_shared<Device>();
        GPURenderEngine::Collaborators collaborators =
            GPURenderEngine::standardCollaborators(device);
        collaborators.loader = std::move(loader);
        collaborators.makeToneKernel = [this](std::shared_ptr<const Device> device) {
            ++toneBuilds;
            return std::make_shared<ToneKernel>(std::move(device));
        };
        return std::make_unique<GPURenderEngine>(device, std::move(collaborators));
    }

    std::future<TexturePointer> preview(GPURenderEngine& engine, std::stop_token stop = {}) {
        return futureOf<TexturePointer>(
            [&](auto done) { engine.preview(photo, edit, PreviewResolution::fit, stop, done); });
    }

    const PhotoID photo{"/photos/a.dng"};
    EditParams edit = [] {
        EditParams params;
        params.exposure = 0.7;
        return params;
    }();
    std::shared_ptr<SpyPhotoLoader> loader = std::make_shared<SpyPhotoLoader>(64, 48);
    int toneBuilds = 0;
};

// Requests stopped by their own threads, while queued or while the render thread polls them,
// each end with CancellationError, every completion on the render thread and one at a time.
TEST_F(GPURenderEngineRace, RequestsStoppedFromOtherThreadsEndWithCancellation) {
    auto engine = makeEngine(loader);
    loader->holdUntilCancelled = true;
    std::vector<std::thread::id> completedOn;
    std::vector<std::future<void>> outcomes(kThreads);
    onThreads([&](int thread) {
        std::stop_source stop;
        auto done = std::make_shared<std::promise<void>>();
        outcomes[thread] = done->get_future();
        engine->preview(photo, edit, PreviewResolution::fit, {}, stop.get_token(),
                        [&completedOn, done](RenderResult<TexturePointer> result) {
                            completedOn.push_back(std::this_thread::get_id());
                            done->set_exception(result.error());
                        });
        // One thread waits until a job polls, which then goes on until its own thread stops it:
        // at least one stop arrives while the render thread polls, the others may while queued.
        if (thread == 1) loader->textureCallHeld.acquire();
        stop.request_stop();
    });
    for (auto& outcome : outcomes) EXPECT_THROW(outcome.get(), CancellationError);
    ASSERT_EQ(completedOn.size(), static_cast<std::size_t>(kThreads));
    for (const std::thread::id thread : completedOn) {
        EXPECT_EQ(thread, completedOn.front());
        EXPECT_NE(thread, std::this_thread::get_id());
    }
}

// Previews on the render thread and on callers' own threads take turns under the engine lock:
// the tone kernel is built once, and every preview is the same picture in a texture of its own.
TEST_F(GPURenderEngineRace, PreviewsOnCallersThreadsAndTheRenderThreadTakeTurns) {
    const std::shared_ptr<PhotoLoader> still = std::make_shared<StillLoader>();
    const std::vector<std::uint16_t> alone = samplesOf(*preview(*makeEngine(still)).get());
    // Rounds on new engines: which thread builds the kernel and which meet it built differs.
    for (int round = 0; round < 4; ++round) {
        toneBuilds = 0;
        auto engine = makeEngine(still);
        // One request for the render thread: a second one queued behind it would order this
        // thread (and the callers it starts) after the first render, hiding what the engine lock
        // guards.
        std::future<TexturePointer> queued = preview(*engine);
        std::vector<TexturePointer> made(kThreads);
        onThreads([&](int thread) {
            made[thread] =
                engine->previewSync(photo, edit, PreviewResolution::fit, [] { return false; });
        });
        made.push_back(queued.get());
        EXPECT_EQ(toneBuilds, 1);
        EXPECT_EQ(std::set<TexturePointer>(made.begin(), made.end()).size(), made.size());
        for (const TexturePointer& texture : made) {
            ASSERT_TRUE(texture);
            EXPECT_TRUE(samplesOf(*texture) == alone);
        }
    }
}

}  // namespace
}  // namespace quillmere
