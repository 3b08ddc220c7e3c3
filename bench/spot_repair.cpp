// Spot repair and histogram on a fit-size preview (2048 × 1365): the source search for one dab
// and for a 50-point stroke, their healing passes, and the histogram at the application's stride
// and at every pixel.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

#include "core/compute/device.h"
#include "core/render/display/histogram_builder.h"
#include "core/render/spot/spot_repair_kernel.h"
#include "tests/fixtures/texture_fixtures.h"

namespace quillmere {
namespace {

constexpr int kWidth = 2048;
constexpr int kHeight = 1365;

const std::shared_ptr<const Device>& device() {
    static const auto shared = std::make_shared<const Device>();
    return shared;
}

// A textured photo-like image: smooth shading with fine detail.
std::shared_ptr<Texture> preview() {
    return testing::makeTexture(
        *device(), PixelFormat::rgba16Float, kWidth, kHeight, [](int x, int y) {
            const float shade = 0.4f + 0.25f * std::sin(x / 170.0f) * std::cos(y / 130.0f);
            const float detail = 0.05f * std::sin(x * 0.9f + y * 1.3f);
            return msl::float4{shade + detail, shade * 0.9f, shade * 0.7f - detail, 1};
        });
}

SpotRepair dab() { return SpotRepair(UUID::random(), 0.4, 0.45, 0.01, {}); }

// 50 points (the centre and 49 more) along a gentle curve about a fifth of the width long.
SpotRepair stroke() {
    std::vector<SpotRepair::Point> path;
    for (int i = 1; i < 50; ++i) {
        path.push_back({0.3 + 0.004 * i, 0.5 + 0.03 * std::sin(i / 8.0)});
    }
    return SpotRepair(UUID::random(), 0.3, 0.5, 0.01, std::move(path));
}

void searchSources(benchmark::State& state, const SpotRepair& repair) {
    const std::shared_ptr<Texture> reference = preview();
    std::size_t discs = 0;
    for (auto _ : state) {
        // A new kernel each time, so nothing is answered from its cache.
        SpotRepairKernel kernel(device());
        discs = kernel.placements({repair}, reference, [] { return false; }).size();
        benchmark::DoNotOptimize(discs);
    }
    state.counters["discs"] = static_cast<double>(discs);
}

void heal(benchmark::State& state, const SpotRepair& repair) {
    const std::shared_ptr<Texture> reference = preview();
    SpotRepairKernel kernel(device());
    const std::vector<SpotRepairKernel::Placement> placements =
        kernel.placements({repair}, reference, [] { return false; });
    const std::shared_ptr<Texture> image = preview();
    const std::shared_ptr<CommandQueue> queue = device()->makeCommandQueue();
    for (auto _ : state) {
        const std::shared_ptr<CommandBuffer> buffer = queue->makeCommandBuffer();
        kernel.encode(placements, image, *buffer);
        buffer->commit();
    }
    state.counters["discs"] = static_cast<double>(placements.size());
}

void BM_SpotRepairSearchDab(benchmark::State& state) { searchSources(state, dab()); }
void BM_SpotRepairSearchStroke50(benchmark::State& state) { searchSources(state, stroke()); }
void BM_SpotHealDab(benchmark::State& state) { heal(state, dab()); }
void BM_SpotHealStroke50(benchmark::State& state) { heal(state, stroke()); }

void BM_Histogram(benchmark::State& state) {
    const std::shared_ptr<Texture> image = preview();
    HistogramBuilder builder(state.range(0));
    for (auto _ : state) benchmark::DoNotOptimize(builder.histogram(image));
}

BENCHMARK(BM_SpotRepairSearchDab)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SpotRepairSearchStroke50)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SpotHealDab)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SpotHealStroke50)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Histogram)->Arg(4)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace quillmere
