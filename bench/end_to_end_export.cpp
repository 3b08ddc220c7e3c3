// A photo file developed and exported through the render engine, stage by stage, as the
// application drives it: opening (which decodes the photo), the first fit preview (decoding the
// fit and denoised images, the spot search and the develop), a fit re-render with every texture
// cached (what a slider change costs), a full-size develop, a JPEG export of the warm photo, and
// the whole cold path from opening to JPEG bytes.
//
// Photos: a 24-megapixel synthetic DNG made at start, the colour-chart DNG of the tests, and the
// file named by QUILLMERE_BENCH_PHOTO when set. The edit is the JSON file named by
// QUILLMERE_BENCH_EDIT, or tests/data/develop_edit.json.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "bench/bench_photos.h"
#include "core/common/json_coding.h"
#include "core/render/engine/gpu_render_engine.h"

namespace quillmere {
namespace {

namespace fs = std::filesystem;

const auto kNeverCancel = [] { return false; };

EditParams edit() {
    const char* named = std::getenv("QUILLMERE_BENCH_EDIT");
    const fs::path file =
        named ? fs::path(named) : fs::path(QUILLMERE_TEST_DATA_DIR) / "develop_edit.json";
    std::ifstream stream(file);
    if (!stream) throw std::runtime_error("Cannot read the edit " + file.string());
    return EditParams::decode(json::Json::parse(stream));
}

ExportOptions jpegOptions() {
    return {.format = ExportFormat::jpeg,
            .quality = 0.9,
            .maxLongEdge = std::nullopt,
            .includeSoftware = true,
            .includeEditParameters = true};
}

std::unique_ptr<GPURenderEngine> makeEngine() {
    return std::make_unique<GPURenderEngine>(std::make_shared<Device>());
}

PhotoID photoID(const fs::path& path) { return PhotoID{path}; }

// An engine that has opened the photo and rendered it once at both sizes: every decode cached.
std::unique_ptr<GPURenderEngine> warmEngine(const fs::path& path, const EditParams& params) {
    auto engine = makeEngine();
    engine->openSync(path);
    engine->previewSync(photoID(path), params, PreviewResolution::fit, kNeverCancel);
    engine->previewSync(photoID(path), params, PreviewResolution::full, kNeverCancel);
    return engine;
}

void openPhoto(benchmark::State& state, const fs::path& path) {
    for (auto _ : state) {
        state.PauseTiming();
        auto engine = makeEngine();
        state.ResumeTiming();
        benchmark::DoNotOptimize(engine->openSync(path));
        state.PauseTiming();
        engine.reset();
        state.ResumeTiming();
    }
}

void firstPreview(benchmark::State& state, const fs::path& path) {
    const EditParams params = edit();
    for (auto _ : state) {
        state.PauseTiming();
        auto engine = makeEngine();
        engine->openSync(path);
        state.ResumeTiming();
        benchmark::DoNotOptimize(
            engine->previewSync(photoID(path), params, PreviewResolution::fit, kNeverCancel));
        state.PauseTiming();
        engine.reset();
        state.ResumeTiming();
    }
}

void develop(benchmark::State& state, const fs::path& path, PreviewResolution resolution) {
    EditParams params = edit();
    const auto engine = warmEngine(path, params);
    for (auto _ : state) {
        // A slider moving: the edit changes, the decoded textures do not.
        params.exposure = params.exposure == 0.4 ? 0.5 : 0.4;
        const auto texture = engine->previewSync(photoID(path), params, resolution, kNeverCancel);
        benchmark::DoNotOptimize(texture);
        state.counters["width"] = texture->width();
        state.counters["height"] = texture->height();
    }
}

std::string exportJPEG(GPURenderEngine& engine, const fs::path& path, const EditParams& params) {
    return futureOf<std::string>([&](auto done) {
               engine.exportPhoto(photoID(path), params, jpegOptions(), {}, done);
           })
        .get();
}

void warmExport(benchmark::State& state, const fs::path& path) {
    const EditParams params = edit();
    const auto engine = warmEngine(path, params);
    std::size_t bytes = 0;
    for (auto _ : state) bytes = exportJPEG(*engine, path, params).size();
    state.counters["bytes"] = static_cast<double>(bytes);
}

void coldExport(benchmark::State& state, const fs::path& path) {
    const EditParams params = edit();
    for (auto _ : state) {
        state.PauseTiming();
        auto engine = makeEngine();
        state.ResumeTiming();
        engine->openSync(path);
        benchmark::DoNotOptimize(exportJPEG(*engine, path, params));
        state.PauseTiming();
        engine.reset();
        state.ResumeTiming();
    }
}

void registerPhoto(const std::string& name, const std::function<fs::path()>& path) {
    const auto add = [&](const std::string& stage, auto run) {
        benchmark::RegisterBenchmark(("EndToEnd/" + name + "/" + stage).c_str(),
                                     [path, run](benchmark::State& state) { run(state, path()); })
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->MinTime(2.0);
    };
    add("open", openPhoto);
    add("firstFitPreview", firstPreview);
    add("fitRerender", [](benchmark::State& state, const fs::path& file) {
        develop(state, file, PreviewResolution::fit);
    });
    add("fullDevelop", [](benchmark::State& state, const fs::path& file) {
        develop(state, file, PreviewResolution::full);
    });
    add("warmJPEGExport", warmExport);
    add("coldOpenAndJPEGExport", coldExport);
}

const bool registered = [] {
    registerPhoto("synthetic24MP", [] { return bench::synthetic24MPPhoto(); });
    registerPhoto("colourChart",
                  [] { return fs::path(QUILLMERE_TEST_DATA_DIR) / "tinydng_colorchart.dng"; });
    if (const char* named = std::getenv("QUILLMERE_BENCH_PHOTO")) {
        registerPhoto("named", [file = fs::path(named)] { return file; });
    }
    return true;
}();

}  // namespace
}  // namespace quillmere
