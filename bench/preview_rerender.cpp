// What a slider drag costs: the 24-megapixel photo re-rendered at fit size through the engine with
// every decode cached, for the neutral edit (0), a typical edit (1) and every control (2), on
// 1, 2, 4 and 8 threads (the "threads" argument: a device with that many, so that one machine
// times what a laptop with fewer cores does). Each iteration moves the exposure slider.
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <optional>

#include "bench/bench_edits.h"
#include "bench/bench_photos.h"
#include "core/render/engine/gpu_render_engine.h"

namespace quillmere {
namespace {

enum class Edit { neutral, typical, everyControl };

EditParams editFor(Edit edit, const OpenedPhoto& photo) {
    switch (edit) {
        case Edit::neutral:
            return EditParams::neutral(photo.asShotTemperature, photo.asShotTint);
        case Edit::typical:
            return bench::typicalEdit(photo.asShotTemperature, photo.asShotTint);
        case Edit::everyControl:
            return bench::everyControl(photo.asShotTemperature, photo.asShotTint);
    }
    return {};
}

// One engine per thread count, all sharing one loader, so the photo is decoded once for the whole
// run; each engine has rendered every edit once before it is timed.
class WarmEngines {
  public:
    GPURenderEngine& engine(int threads) {
        std::unique_ptr<GPURenderEngine>& engine = engines_[threads];
        if (!engine) {
            const auto device = std::make_shared<Device>(Device::withThreadCount(threads));
            GPURenderEngine::Collaborators collaborators =
                GPURenderEngine::standardCollaborators(device);
            if (loader_) collaborators.loader = loader_;
            loader_ = collaborators.loader;
            engine = std::make_unique<GPURenderEngine>(device, std::move(collaborators));
            photo_.emplace(engine->openSync(bench::synthetic24MPPhoto()));
            for (Edit edit : {Edit::neutral, Edit::typical, Edit::everyControl}) {
                engine->previewSync(photo_->id, editFor(edit, *photo_), PreviewResolution::fit,
                                    [] { return false; });
            }
        }
        return *engine;
    }
    // The photo, once an engine has opened it.
    const OpenedPhoto& photo() const { return *photo_; }

  private:
    std::shared_ptr<PhotoLoader> loader_;
    std::optional<OpenedPhoto> photo_;
    std::map<int, std::unique_ptr<GPURenderEngine>> engines_;
};

WarmEngines& warmEngines() {
    static WarmEngines warm;
    return warm;
}

// Arguments: edit (Edit), threads.
void BM_FitRerender(benchmark::State& state) {
    const int threads = static_cast<int>(state.range(1));
    GPURenderEngine& engine = warmEngines().engine(threads);
    const OpenedPhoto& photo = warmEngines().photo();
    EditParams params = editFor(static_cast<Edit>(state.range(0)), photo);
    const double exposure = params.exposure;
    for (auto _ : state) {
        params.exposure = params.exposure == exposure ? exposure + 0.05 : exposure;
        benchmark::DoNotOptimize(
            engine.previewSync(photo.id, params, PreviewResolution::fit, [] { return false; }));
    }
    state.counters["threads"] = threads;
}

BENCHMARK(BM_FitRerender)
    ->ArgNames({"edit", "threads"})
    ->ArgsProduct({{static_cast<int>(Edit::neutral), static_cast<int>(Edit::typical),
                    static_cast<int>(Edit::everyControl)},
                   {1, 2, 4, 8}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(1.0);

}  // namespace
}  // namespace quillmere
