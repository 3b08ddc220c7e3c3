// The LibRaw bridge and the synthetic DNG writer on a 2048 × 1366 and a 24-megapixel sensor:
// writing the test file, the sensor read with its noise fit, the write-back with linear
// development, and LibRaw's full development.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "rawbridge/qx_raw.h"
#include "tests/fixtures/synthetic_dng.h"

namespace {

using quillmere::fixtures::SyntheticDNGOptions;

SyntheticDNGOptions noisySensor(const benchmark::State& state) {
    SyntheticDNGOptions options;
    options.width = static_cast<int>(state.range(0));
    options.height = static_cast<int>(state.range(1));
    options.blackLevels = {512};
    options.whiteLevel = 16383;
    options.iso = 1600;
    options.scene = quillmere::fixtures::gradientScene(options.width, options.height);
    options.shotNoise = 2e-4;
    options.readNoiseVariance = 2.5e-5;
    return options;
}

std::string sensorFile(const benchmark::State& state) {
    return (std::filesystem::temp_directory_path() /
            ("qxraw-bench-" + std::to_string(getpid()) + "-" + std::to_string(state.range(0)) +
             ".dng"))
        .string();
}

void BM_WriteSyntheticDNG(benchmark::State& state) {
    const SyntheticDNGOptions options = noisySensor(state);
    const std::string path = sensorFile(state);
    for (auto _ : state) quillmere::fixtures::writeSyntheticDNG(path, options);
    std::filesystem::remove(path);
}

void BM_ReadSensor(benchmark::State& state) {
    const std::string path = sensorFile(state);
    quillmere::fixtures::writeSyntheticDNG(path, noisySensor(state));
    for (auto _ : state) {
        QXRAWMetadata metadata;
        float* plane = nullptr;
        char error[1024] = {};
        if (qx_raw_read(path.c_str(), &metadata, &plane, error, sizeof error) != 0) {
            throw std::runtime_error(error);
        }
        qx_raw_free(plane);
    }
    std::filesystem::remove(path);
}

void BM_RenderSensor(benchmark::State& state) {
    const std::string path = sensorFile(state);
    quillmere::fixtures::writeSyntheticDNG(path, noisySensor(state));
    QXRAWMetadata metadata;
    float* plane = nullptr;
    char error[1024] = {};
    if (qx_raw_read(path.c_str(), &metadata, &plane, error, sizeof error) != 0) {
        throw std::runtime_error(error);
    }
    for (auto _ : state) {
        std::uint16_t* rgba = nullptr;
        if (qx_raw_render(path.c_str(), &metadata, plane, &rgba, error, sizeof error) != 0) {
            throw std::runtime_error(error);
        }
        qx_raw_free(rgba);
    }
    qx_raw_free(plane);
    std::filesystem::remove(path);
}

void BM_RenderOriginal(benchmark::State& state) {
    const std::string path = sensorFile(state);
    quillmere::fixtures::writeSyntheticDNG(path, noisySensor(state));
    for (auto _ : state) {
        std::int32_t info[3] = {};
        std::uint16_t* rgba = nullptr;
        char error[1024] = {};
        if (qx_raw_render_original(path.c_str(), info, &rgba, error, sizeof error) != 0) {
            throw std::runtime_error(error);
        }
        qx_raw_free(rgba);
    }
    std::filesystem::remove(path);
}

void sensorSizes(benchmark::internal::Benchmark* benchmark) {
    benchmark->Args({2048, 1366})->Args({6000, 4000})->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_WriteSyntheticDNG)->Apply(sensorSizes);
BENCHMARK(BM_ReadSensor)->Apply(sensorSizes);
BENCHMARK(BM_RenderSensor)->Apply(sensorSizes)->Iterations(2);
BENCHMARK(BM_RenderOriginal)->Apply(sensorSizes)->Iterations(2);

}  // namespace
