// The filmstrip thumbnail of a RAW photo, from the file to the 8-bit picture: the sample colour
// chart (1734 × 1156) and a 24-megapixel camera file.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "bench/bench_photos.h"
#include "core/render/engine/photo_thumbnail.h"

namespace {

void BM_ColourChartThumbnail(benchmark::State& state) {
    const auto chart = std::filesystem::path(QUILLMERE_TEST_DATA_DIR) / "tinydng_colorchart.dng";
    for (auto _ : state) benchmark::DoNotOptimize(quillmere::photoThumbnail(chart));
}
BENCHMARK(BM_ColourChartThumbnail)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_24MPThumbnail(benchmark::State& state) {
    const std::filesystem::path& photo = quillmere::bench::synthetic24MPPhoto();
    for (auto _ : state) benchmark::DoNotOptimize(quillmere::photoThumbnail(photo));
}
BENCHMARK(BM_24MPThumbnail)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
