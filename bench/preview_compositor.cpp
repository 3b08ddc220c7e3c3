// The preview compositor's cost per frame: a fit-size render (2048 × 1365) placed on a
// 2560 × 1600 drawable, fitted with margins and zoomed in four times.
#include <benchmark/benchmark.h>

#include "core/compute/device.h"
#include "core/render/display/preview_compositor.h"
#include "tests/fixtures/texture_fixtures.h"

namespace quillmere {
namespace {

void compose(benchmark::State& state, PreviewCompositor::Rect destination) {
    const Device device;
    const auto texture = testing::makeTexture(
        device, PixelFormat::rgba16Float, 2048, 1365,
        [](int x, int y) { return msl::float4{x / 2048.0f, y / 1365.0f, 0.5f, 1}; });
    for (auto _ : state) {
        benchmark::DoNotOptimize(PreviewCompositor::scene(texture, destination, {2560, 1600},
                                                          PreviewCompositor::ColorSpace::sRGB,
                                                          {0.1, 0.1, 0.1, 1}));
    }
}

BENCHMARK_CAPTURE(compose, fitted, PreviewCompositor::Rect{80, 53, 2400, 1600 - 106})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(compose, zoomedIn, PreviewCompositor::Rect{-3000, -2000, 8192, 5460})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace quillmere
