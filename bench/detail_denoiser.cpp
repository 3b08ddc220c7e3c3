// The Detail pass on a 24-megapixel photo: its sensor plane of 3000 x 2000 packed quads through
// the shipped model, tile by tile. The argument is the number of threads (0: all).
#include <benchmark/benchmark.h>
#include <tbb/global_control.h>

#include <opencv2/core/utility.hpp>
#include <random>
#include <vector>

#include "core/decode/core_ml_denoiser.h"
#include "core/decode/match_filter_model.h"
#include "tests/fixtures/texture_fixtures.h"

namespace quillmere {
namespace {

std::shared_ptr<Texture> noisySensorTexture(const Device& device, PixelFormat format, int width,
                                            int height) {
    std::mt19937 random(7);
    std::normal_distribution<float> noise(0.0f, 0.01f);
    return testing::makeTexture(device, format, width, height, [&](int x, int) {
        // A soft gradient with a step every 512 texels, so the filter meets flat areas and edges.
        const float level = 0.1f + 0.6f * static_cast<float>(x % 512) / 512.0f;
        return msl::float4{level + noise(random), level + noise(random), level + noise(random),
                           level + noise(random)};
    });
}

void detailPass(benchmark::State& state, PixelFormat format) {
    const int threads = static_cast<int>(state.range(0));
    const int previousThreads = cv::getNumThreads();
    cv::setNumThreads(threads == 0 ? -1 : threads);
    const tbb::global_control parallelism(
        tbb::global_control::max_allowed_parallelism,
        threads == 0
            ? tbb::global_control::active_value(tbb::global_control::max_allowed_parallelism)
            : static_cast<std::size_t>(threads));
    CoreMLDenoiser denoiser(MatchFilterModel::url(), {"image", "denoised", 64});
    const Device device;
    const std::shared_ptr<Texture> source = noisySensorTexture(device, format, 3000, 2000);
    const CoreMLDenoiser::NoiseProfile profile{{2e-4f, 1e-4f, 2e-4f, 1e-4f},
                                               {1e-5f, 1e-5f, 1e-5f, 1e-5f}};
    for (auto _ : state) {
        std::shared_ptr<Texture> result =
            denoiser.denoise(*source, profile, device, [] { return false; });
        benchmark::DoNotOptimize(result);
    }
    state.counters["megapixels/s"] = benchmark::Counter(
        24.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    cv::setNumThreads(previousThreads);
}

void BM_DetailPass24MPFloat32(benchmark::State& state) {
    detailPass(state, PixelFormat::rgba32Float);
}
void BM_DetailPass24MPHalf(benchmark::State& state) { detailPass(state, PixelFormat::rgba16Float); }

BENCHMARK(BM_DetailPass24MPFloat32)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DetailPass24MPHalf)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace quillmere
