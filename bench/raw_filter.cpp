// The RAW filter on a 2048 × 1366 and a 24-megapixel sensor: the whole develop (the sensor read
// and the LibRaw development in the file's reader, the noise reduction, the texture) with and
// without noise reduction, the sensor noise reduction alone on one thread and on all, and the noise
// filter for developed photos.
#include "core/decode/raw_filter.h"

#include <benchmark/benchmark.h>
#include <tbb/global_control.h>
#include <tbb/info.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/decode/noise_reduction_filter.h"
#include "core/decode/sensor_noise_reduction.h"
#include "tests/fixtures/synthetic_dng.h"
#include "tests/fixtures/texture_fixtures.h"

namespace {

using namespace quillmere;

// A noisy sensor at a high ISO, written once per size and removed at exit.
class SensorFile {
  public:
    SensorFile(int width, int height)
        : path_(std::filesystem::temp_directory_path() /
                ("quillmere-raw-filter-bench-" + std::to_string(getpid()) + "-" +
                 std::to_string(width) + ".dng")) {
        fixtures::SyntheticDNGOptions options;
        options.width = width;
        options.height = height;
        options.blackLevels = {512};
        options.whiteLevel = 16383;
        options.iso = 3200;
        options.scene = fixtures::gradientScene(width, height);
        options.shotNoise = 1e-3;
        options.readNoiseVariance = 1e-4;
        fixtures::writeSyntheticDNG(path_, options);
    }
    ~SensorFile() { std::filesystem::remove(path_); }
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

const SensorFile& sensorFile(const benchmark::State& state) {
    static SensorFile small(2048, 1366);
    static SensorFile large(6000, 4000);
    return state.range(0) == 2048 ? small : large;
}

// Threads for the measurement: the second argument, 0 for every core.
std::optional<tbb::global_control> threadLimit(const benchmark::State& state) {
    if (state.range(2) == 0) return std::nullopt;
    return std::make_optional<tbb::global_control>(tbb::global_control::max_allowed_parallelism,
                                                   static_cast<std::size_t>(state.range(2)));
}

void develop(benchmark::State& state, float noiseReduction) {
    const SensorFile& file = sensorFile(state);
    const auto limit = threadLimit(state);
    for (auto _ : state) {
        RAWFilter filter(file.path());
        RAWFilterSettings settings = filter.settings();
        settings.luminanceNoiseReductionAmount = noiseReduction;
        settings.colorNoiseReductionAmount = noiseReduction;
        settings.extendedDynamicRangeAmount = 2.0f;
        filter.setSettings(settings);
        benchmark::DoNotOptimize(filter.outputTexture());
    }
}

void BM_DevelopWithNoiseReduction(benchmark::State& state) { develop(state, 1.0f); }
void BM_DevelopWithoutNoiseReduction(benchmark::State& state) { develop(state, 0.0f); }

void BM_SensorNoiseReduction(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0)) / 2;
    const int height = static_cast<int>(state.range(1)) / 2;
    const std::size_t count = static_cast<std::size_t>(width) * height * 4;
    std::vector<float> source(count);
    for (std::size_t i = 0; i < count; ++i) {
        source[i] = 0.3f + 0.05f * static_cast<float>((i * 2654435761u) % 1000) / 1000.0f;
    }
    std::vector<float> destination(count);
    SensorNoiseProfile noise;
    noise.shot.fill(1e-3f);
    noise.read.fill(1e-4f);
    const auto limit = threadLimit(state);
    for (auto _ : state) {
        reduceSensorNoise(source.data(), destination.data(), width, height, noise, {1.0f, 1.0f});
        benchmark::DoNotOptimize(destination.data());
    }
}

void BM_TextureNoiseReduction(benchmark::State& state) {
    const Device device;
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    const auto texture =
        testing::makeTexture(device, PixelFormat::rgba16Float, width, height, [](int x, int y) {
            const float v = 0.05f * ((x * 7 + y * 13) % 5);
            return msl::float4{0.3f + v, 0.4f, 0.2f - v, 1};
        });
    const auto limit = threadLimit(state);
    for (auto _ : state) benchmark::DoNotOptimize(reduceTextureNoise(*texture, device, 0.04f));
}

void wholeDevelops(benchmark::internal::Benchmark* benchmark) {
    benchmark->Args({2048, 1366, 0})
        ->Args({6000, 4000, 0})
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
}

void passes(benchmark::internal::Benchmark* benchmark) {
    for (const int threads : {1, 0}) {
        benchmark->Args({2048, 1366, threads})->Args({6000, 4000, threads});
    }
    benchmark->Unit(benchmark::kMillisecond)->UseRealTime();
}

BENCHMARK(BM_DevelopWithNoiseReduction)->Apply(wholeDevelops);
BENCHMARK(BM_DevelopWithoutNoiseReduction)->Apply(wholeDevelops);
BENCHMARK(BM_SensorNoiseReduction)->Apply(passes);
BENCHMARK(BM_TextureNoiseReduction)->Apply(passes);

}  // namespace
