// The develop kernels on a 2048 × 1365 preview: the tone pass with neutral settings and with
// every control active, and the three recovery passes. Each runs on all cores and on one
// (the "threads" argument), so the parallel speed-up can be read off.

#include <benchmark/benchmark.h>
#include <tbb/global_control.h>

#include <cmath>
#include <cstddef>

#include "tests/fixtures/texture_fixtures.h"
#include "bench/tone_passes.h"

namespace quillmere {
namespace {

constexpr int kWidth = 2048;
constexpr int kHeight = 1365;

// A photo-like scene: a sky-to-shadow ramp over 14 EV with coloured patches and fine texture.
std::shared_ptr<Texture> makeScene(const Device& device, unsigned seed) {
    return testing::makeTexture(
        device, PixelFormat::rgba16Float, kWidth, kHeight, [seed](int x, int y) {
            const float u = static_cast<float>(x) / kWidth;
            const float v = static_cast<float>(y) / kHeight;
            const unsigned hash = (static_cast<unsigned>(x) * 73856093u) ^
                                  (static_cast<unsigned>(y) * 19349663u) ^ seed;
            const float grain = 1.0f + 0.08f * (static_cast<float>(hash % 1000) / 500.0f - 1.0f);
            const float level = std::exp2(-9.0f + 14.0f * v) * grain;
            return msl::float4{level * (0.6f + 0.4f * std::sin(9.0f * u)),
                               level * (0.6f + 0.4f * std::cos(7.0f * v)),
                               level * (0.5f + 0.5f * u), 1.0f};
        });
}

bench::ToneSettings everyControl() {
    bench::ToneSettings settings;
    settings.tone = {1.08f, 0.97f, 0.92f, 0.4f, 25, -60, 45, 20, -15, 30, 10, 1, 1, 0.5f, 1};
    settings.curve.resize(kCurveTableSize);
    for (std::size_t i = 0; i < kCurveTableSize; ++i) {
        const float x = static_cast<float>(i % kCurveTableEntries) / 255.0f;
        settings.curve[i] = x + 0.1f * x * (1.0f - x);
    }
    for (std::size_t band = 0; band < kMixerBandCount; ++band) {
        settings.hsl.hue[band] = 10.0f * static_cast<float>(band) - 35.0f;
        settings.hsl.sat[band] = 20.0f - 5.0f * static_cast<float>(band);
        settings.hsl.lum[band] = 15.0f * std::sin(static_cast<float>(band));
    }
    settings.points.count = 4;
    for (int k = 0; k < 4; ++k) {
        const float hue = 90.0f * static_cast<float>(k) + 20.0f;
        settings.points.points[k] = {hue, 0.5f, 0.6f, 35, 0.5f, 0.5f, 60, 40, -20, 15, 25};
    }
    return settings;
}

struct Bench {
    Device device;
    bench::TonePasses passes{device};
    std::shared_ptr<Texture> input = makeScene(device, 1);
    std::shared_ptr<Texture> clean = makeScene(device, 2);
    std::shared_ptr<Texture> output = passes.makeImage(kWidth, kHeight);
    bench::RecoveryTextures recovery = passes.makeRecoveryTextures(kWidth, kHeight);
};

Bench& bench() {
    static Bench instance;
    return instance;
}

template <class Encode>
void runPasses(benchmark::State& state, Encode encode) {
    const tbb::global_control threads(tbb::global_control::max_allowed_parallelism,
                                      static_cast<std::size_t>(state.range(0)));
    Bench& b = bench();
    for (auto _ : state) {
        const auto buffer = b.passes.queue().makeCommandBuffer();
        encode(b, *buffer);
        bench::TonePasses::commit(*buffer);
    }
}

void TonePassNeutral(benchmark::State& state) {
    const bench::ToneSettings neutral;
    runPasses(state, [&](Bench& b, CommandBuffer& buffer) {
        b.passes.encodeTone(buffer, b.input, b.output, nullptr, nullptr, neutral);
    });
}

void TonePassEveryControl(benchmark::State& state) {
    const bench::ToneSettings settings = everyControl();
    Bench& b = bench();
    {  // the recovery data the tone pass reads, made once
        const auto buffer = b.passes.queue().makeCommandBuffer();
        b.passes.encodePrepare(*buffer, b.input, b.clean, b.recovery, settings.tone);
        b.passes.encodeMeter(*buffer, b.recovery);
        b.passes.encodeBilateral(*buffer, b.recovery);
        bench::TonePasses::commit(*buffer);
    }
    runPasses(state, [&](Bench& bb, CommandBuffer& buffer) {
        bb.passes.encodeTone(buffer, bb.input, bb.output, bb.clean, &bb.recovery, settings);
    });
}

void RecoveryPrepare(benchmark::State& state) {
    const bench::ToneSettings settings = everyControl();
    runPasses(state, [&](Bench& b, CommandBuffer& buffer) {
        b.passes.encodePrepare(buffer, b.input, b.clean, b.recovery, settings.tone);
    });
}

void RecoveryBilateral(benchmark::State& state) {
    runPasses(state, [](Bench& b, CommandBuffer& buffer) {
        b.passes.encodeBilateral(buffer, b.recovery);
    });
}

void RecoveryMeter(benchmark::State& state) {
    runPasses(state,
              [](Bench& b, CommandBuffer& buffer) { b.passes.encodeMeter(buffer, b.recovery); });
}

void RecoveryAllThree(benchmark::State& state) {
    const bench::ToneSettings settings = everyControl();
    runPasses(state, [&](Bench& b, CommandBuffer& buffer) {
        b.passes.encodePrepare(buffer, b.input, b.clean, b.recovery, settings.tone);
        b.passes.encodeMeter(buffer, b.recovery);
        b.passes.encodeBilateral(buffer, b.recovery);
    });
}

void threadCounts(benchmark::internal::Benchmark* benchmark) {
    benchmark->ArgName("threads")->Arg(8)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
}

BENCHMARK(TonePassNeutral)->Apply(threadCounts);
BENCHMARK(TonePassEveryControl)->Apply(threadCounts);
BENCHMARK(RecoveryPrepare)->Apply(threadCounts);
BENCHMARK(RecoveryBilateral)->Apply(threadCounts);
BENCHMARK(RecoveryMeter)->Apply(threadCounts);
BENCHMARK(RecoveryAllThree)->Apply(threadCounts);

}  // namespace
}  // namespace quillmere
