// Times the develop at preview size (2048 × 1365) and at 24 megapixels (6000 × 4000), each on
// every core and on one (the "threads" argument), so the parallel speed-up can be read off: the
// whole develop of one edit (recovery, tone and sharpening, as a render encodes it) with a
// typical edit and with every control active, and the sharpening passes alone at the photo's
// 1-pixel radius and at the widest radius (both scaled to the render's size).

#include <benchmark/benchmark.h>
#include <tbb/global_control.h>
#include <tbb/info.h>

#include <algorithm>
#include <cmath>

#include "bench/bench_edits.h"
#include "core/compute/device.h"
#include "core/edit/edit_params.h"
#include "core/render/develop/sharpening_kernel.h"
#include "core/render/develop/tone_kernel.h"
#include "tests/fixtures/texture_fixtures.h"

namespace quillmere {
namespace {

constexpr double kPhotoWidth = 6000;

std::shared_ptr<const Device> device() {
    static const auto shared = std::make_shared<const Device>();
    return shared;
}

// Arguments: width, height, threads (0 = every core).
std::size_t threadCount(const benchmark::State& state) {
    return state.range(2) > 0 ? static_cast<std::size_t>(state.range(2))
                              : static_cast<std::size_t>(tbb::info::default_concurrency());
}

// A display-encoded photo: soft-edged patches with grain, in 0...1.
std::shared_ptr<Texture> encodedPhoto(int width, int height) {
    return testing::makeTexture(
        *device(), PixelFormat::rgba16Float, width, height, [](int x, int y) {
            const unsigned hash =
                (static_cast<unsigned>(x) * 73856093u) ^ (static_cast<unsigned>(y) * 19349663u);
            const float grain = 0.03f * (static_cast<float>(hash % 1000) / 500.0f - 1.0f);
            const float patch = ((x / 97 + y / 61) % 3) * 0.3f + 0.1f;
            const float v = std::clamp(patch + grain, 0.0f, 1.0f);
            return msl::float4{v, v * 0.9f, v * 0.7f, 1.0f};
        });
}

// A linear scene over 14 EV: a sky-to-shadow ramp with coloured patches and grain.
std::shared_ptr<Texture> linearScene(int width, int height) {
    return testing::makeTexture(
        *device(), PixelFormat::rgba16Float, width, height, [&](int x, int y) {
            const float u = static_cast<float>(x) / static_cast<float>(width);
            const float v = static_cast<float>(y) / static_cast<float>(height);
            const unsigned hash =
                (static_cast<unsigned>(x) * 73856093u) ^ (static_cast<unsigned>(y) * 19349663u);
            const float grain = 1.0f + 0.08f * (static_cast<float>(hash % 1000) / 500.0f - 1.0f);
            const float level = std::exp2(-9.0f + 14.0f * v) * grain;
            return msl::float4{level * (0.6f + 0.4f * std::sin(9.0f * u)),
                               level * (0.6f + 0.4f * std::cos(7.0f * v)),
                               level * (0.5f + 0.5f * u), 1.0f};
        });
}

std::shared_ptr<Texture> emptyImage(int width, int height) {
    return device()->makeTexture({.pixelFormat = PixelFormat::rgba16Float,
                                  .width = width,
                                  .height = height,
                                  .usage = TextureUsage::shaderRead | TextureUsage::shaderWrite,
                                  .storageMode = StorageMode::devicePrivate});
}

// Arguments as above, then the sharpening radius.
void BM_Sharpening(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
    const tbb::global_control limit(tbb::global_control::max_allowed_parallelism,
                                    threadCount(state));
    const auto input = encodedPhoto(width, height);
    const auto output = emptyImage(width, height);
    const SharpeningKernel kernel(device());
    const SharpeningSettings settings{
        .amount = 60, .radius = static_cast<double>(state.range(3)), .detail = 40, .masking = 20};
    const double scale = width / kPhotoWidth;
    const auto queue = device()->makeCommandQueue();
    for (auto _ : state) {
        const auto buffer = queue->makeCommandBuffer();
        kernel.encode(input, output, settings, scale, *buffer);
        buffer->commit();
        benchmark::DoNotOptimize(output->rowData(0));
    }
    state.counters["threads"] = static_cast<double>(threadCount(state));
}

// Arguments as above, then the edit: 0 typical, 1 every control.
void BM_Develop(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
    const tbb::global_control limit(tbb::global_control::max_allowed_parallelism,
                                    threadCount(state));
    const EditParams params =
        state.range(3) == 0 ? bench::typicalEdit(5200, 4) : bench::everyControl(5200, 4);
    const auto input = linearScene(width, height);
    const auto denoised = params.denoise > 0 ? linearScene(width, height) : nullptr;
    const auto output = emptyImage(width, height);
    const ToneKernel kernel(device());
    const auto queue = device()->makeCommandQueue();
    for (auto _ : state) {
        const auto buffer = queue->makeCommandBuffer();
        kernel.encode(input, output, params, 5200, 4, denoised, true, width / kPhotoWidth, *buffer);
        buffer->commit();
        if (buffer->error()) state.SkipWithError(buffer->error()->what());
        benchmark::DoNotOptimize(output->rowData(0));
    }
    state.counters["threads"] = static_cast<double>(threadCount(state));
}

BENCHMARK(BM_Develop)
    ->ArgNames({"width", "height", "threads", "edit"})
    ->Args({2048, 1365, 0, 0})
    ->Args({2048, 1365, 1, 0})
    ->Args({2048, 1365, 0, 1})
    ->Args({2048, 1365, 1, 1})
    ->Args({6000, 4000, 0, 0})
    ->Args({6000, 4000, 1, 0})
    ->Args({6000, 4000, 0, 1})
    ->Args({6000, 4000, 1, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK(BM_Sharpening)
    ->ArgNames({"width", "height", "threads", "radius"})
    ->Args({2048, 1365, 0, 1})
    ->Args({2048, 1365, 1, 1})
    ->Args({2048, 1365, 0, 3})
    ->Args({2048, 1365, 1, 3})
    ->Args({6000, 4000, 0, 1})
    ->Args({6000, 4000, 1, 1})
    ->Args({6000, 4000, 0, 3})
    ->Args({6000, 4000, 1, 3})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace quillmere
