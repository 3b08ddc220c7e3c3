// What a slider drag costs: the 24-megapixel photo re-rendered at fit size through the engine with
// every decode cached, for the neutral edit (0), a typical edit (1) and every control (2), on
// eight threads and on one (the "threads" argument). Each iteration moves the exposure slider.
#include <benchmark/benchmark.h>
#include <tbb/global_control.h>
#include <tbb/info.h>

#include <memory>

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

// One engine for the whole run, with the photo open and every texture the edits read decoded.
struct WarmEngine {
    GPURenderEngine engine{std::make_shared<Device>()};
    OpenedPhoto photo;

    WarmEngine() : photo(engine.openSync(bench::synthetic24MPPhoto())) {
        for (Edit edit : {Edit::neutral, Edit::typical, Edit::everyControl}) {
            engine.previewSync(photo.id, editFor(edit, photo), PreviewResolution::fit,
                               [] { return false; });
        }
    }
};

WarmEngine& warmEngine() {
    static WarmEngine warm;
    return warm;
}

// Arguments: edit (Edit), threads.
void BM_FitRerender(benchmark::State& state) {
    WarmEngine& warm = warmEngine();
    const auto threads = state.range(1) > 0
                             ? static_cast<std::size_t>(state.range(1))
                             : static_cast<std::size_t>(tbb::info::default_concurrency());
    const tbb::global_control limit(tbb::global_control::max_allowed_parallelism, threads);
    EditParams params = editFor(static_cast<Edit>(state.range(0)), warm.photo);
    const double exposure = params.exposure;
    for (auto _ : state) {
        params.exposure = params.exposure == exposure ? exposure + 0.05 : exposure;
        benchmark::DoNotOptimize(warm.engine.previewSync(
            warm.photo.id, params, PreviewResolution::fit, [] { return false; }));
    }
    state.counters["threads"] = static_cast<double>(threads);
}

BENCHMARK(BM_FitRerender)
    ->ArgNames({"edit", "threads"})
    ->ArgsProduct({{static_cast<int>(Edit::neutral), static_cast<int>(Edit::typical),
                    static_cast<int>(Edit::everyControl)},
                   {8, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(1.0);

}  // namespace
}  // namespace quillmere
