// The first preview of a 24-megapixel photo with Detail denoise, as the user waits for it: a new
// engine opens the photo and renders it at fit size with Detail 50, which reads the sensor data,
// runs the Detail model over it and develops the sensor data twice (denoised and not). On every
// core, as the program runs it.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>

#include "bench/bench_photos.h"
#include "core/render/engine/gpu_render_engine.h"

namespace quillmere {
namespace {

void BM_DetailFirstPreview(benchmark::State& state) {
    const std::filesystem::path& photo = bench::synthetic24MPPhoto();
    for (auto _ : state) {
        GPURenderEngine engine(std::make_shared<Device>());
        const OpenedPhoto opened = engine.openSync(photo);
        EditParams params = EditParams::neutral(opened.asShotTemperature, opened.asShotTint);
        params.denoiseMethod = DenoiseMethod::matchFilter;
        params.denoise = 50;
        benchmark::DoNotOptimize(
            engine.previewSync(opened.id, params, PreviewResolution::fit, [] { return false; }));
    }
}

BENCHMARK(BM_DetailFirstPreview)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
}  // namespace quillmere
