// Times the compute device's passes at preview size (2048 × 1365) and at 24 megapixels
// (6000 × 4000), each with one thread and with every core, so the parallel speed-up can be read
// off: the RAW chroma kernel, the Lanczos scale (to half size, and 24 MP to the 2048-pixel fit
// size), and a pass that only converts rows in and out, the floor under any per-pixel pass.

#include <benchmark/benchmark.h>
#include <tbb/global_control.h>
#include <tbb/info.h>

#include <random>

#include "core/compute/device.h"
#include "core/compute/lanczos_scale.h"
#include "core/decode/raw_texture_kernel.h"
#include "tests/fixtures/texture_fixtures.h"

namespace quillmere {
namespace {

const Device& device() {
    static const Device shared;
    return shared;
}

std::shared_ptr<Texture> noisyImage(int width, int height) {
    std::mt19937 random(1);
    std::uniform_real_distribution<float> value(0.0f, 1.2f);
    return testing::makeTexture(device(), PixelFormat::rgba16Float, width, height, [&](int, int) {
        const float base = value(random);
        return msl::float4{base * 1.1f, base, base * 0.8f, 1.0f};
    });
}

std::shared_ptr<Texture> emptyImage(int width, int height) {
    return device().makeTexture({.pixelFormat = PixelFormat::rgba16Float,
                                 .width = width,
                                 .height = height,
                                 .usage = TextureUsage::shaderRead | TextureUsage::shaderWrite});
}

// Arguments: source width, source height, threads (0 = every core).
std::size_t threadCount(const benchmark::State& state) {
    return state.range(2) > 0 ? static_cast<std::size_t>(state.range(2))
                              : static_cast<std::size_t>(tbb::info::default_concurrency());
}

void BM_ChromaKernel(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
    const tbb::global_control limit(tbb::global_control::max_allowed_parallelism,
                                    threadCount(state));
    const auto input = noisyImage(width, height);
    const auto output = emptyImage(width, height);
    const RAWTextureKernel kernel;
    const auto queue = device().makeCommandQueue();
    for (auto _ : state) {
        const auto buffer = queue->makeCommandBuffer();
        kernel.encode(input, output, *buffer);
        buffer->commit();
        benchmark::DoNotOptimize(output->rowData(0));
    }
    state.counters["threads"] = static_cast<double>(threadCount(state));
}

// Arguments as above, then the target width and height.
void BM_LanczosScale(benchmark::State& state) {
    const tbb::global_control limit(tbb::global_control::max_allowed_parallelism,
                                    threadCount(state));
    const auto source =
        noisyImage(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    const auto destination =
        emptyImage(static_cast<int>(state.range(3)), static_cast<int>(state.range(4)));
    for (auto _ : state) {
        lanczosScale(*source, *destination);
        benchmark::DoNotOptimize(destination->rowData(0));
    }
    state.counters["threads"] = static_cast<double>(threadCount(state));
}

void BM_RowConversionPass(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
    const tbb::global_control limit(tbb::global_control::max_allowed_parallelism,
                                    threadCount(state));
    KernelLibrary library;
    library.add("copy", [](const KernelArguments& arguments, RowRange rows) {
        const Texture& input = arguments.texture(0);
        Texture& output = arguments.texture(1);
        thread_local std::vector<msl::float4> row;
        row.resize(static_cast<std::size_t>(input.width()));
        for (int y = rows.begin; y < rows.end; ++y) {
            input.readRow(0, y, row);
            output.writeRow(0, y, row);
        }
    });
    const auto pipeline = library.makePipeline("copy");
    const auto input = noisyImage(width, height);
    const auto output = emptyImage(width, height);
    const auto queue = device().makeCommandQueue();
    for (auto _ : state) {
        const auto buffer = queue->makeCommandBuffer();
        const auto encoder = buffer->makeComputeCommandEncoder();
        encoder->setComputePipelineState(pipeline);
        encoder->setTexture(input, 0);
        encoder->setTexture(output, 1);
        encoder->dispatchThreads({width, height}, {32, 8});
        encoder->endEncoding();
        buffer->commit();
        benchmark::DoNotOptimize(output->rowData(0));
    }
    state.counters["threads"] = static_cast<double>(threadCount(state));
}

BENCHMARK(BM_ChromaKernel)
    ->ArgNames({"width", "height", "threads"})
    ->Args({2048, 1365, 1})
    ->Args({2048, 1365, 0})
    ->Args({6000, 4000, 1})
    ->Args({6000, 4000, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK(BM_LanczosScale)
    ->ArgNames({"width", "height", "threads", "to_width", "to_height"})
    ->Args({2048, 1365, 1, 1024, 683})
    ->Args({2048, 1365, 0, 1024, 683})
    ->Args({6000, 4000, 1, 2048, 1365})
    ->Args({6000, 4000, 0, 2048, 1365})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK(BM_RowConversionPass)
    ->ArgNames({"width", "height", "threads"})
    ->Args({2048, 1365, 1})
    ->Args({2048, 1365, 0})
    ->Args({6000, 4000, 1})
    ->Args({6000, 4000, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace quillmere
