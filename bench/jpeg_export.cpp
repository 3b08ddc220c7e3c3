// Times the JPEG export of a developed 24-megapixel image (6000 × 4000): with the 2560-pixel
// long-edge limit of the compact preset, and at full size, each with one thread and with every
// core. The whole exporter runs: scaling, 8-bit conversion, encoding, the source's metadata and
// the edit record.

#include <benchmark/benchmark.h>
#include <tbb/global_control.h>
#include <tbb/info.h>

#include <filesystem>
#include <random>

#include "core/common/file_io.h"
#include "core/common/uuid.h"
#include "core/render/export/exporter.h"
#include "tests/fixtures/test_exif.h"
#include "tests/fixtures/test_pattern.h"
#include "tests/fixtures/texture_fixtures.h"

namespace quillmere {
namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;

// A smooth gradient with a little grain, closer to a photo than pure noise (which no JPEG
// compresses) or a flat field (which costs the encoder nothing).
std::shared_ptr<Texture> developedImage(const Device& device) {
    std::mt19937 random(1);
    std::normal_distribution<float> grain(0.0f, 0.02f);
    return testing::makeTexture(
        device, PixelFormat::rgba16Float, kWidth, kHeight, [&](int x, int y) {
            const float u = static_cast<float>(x) / kWidth;
            const float v = static_cast<float>(y) / kHeight;
            return msl::float4{0.2f + 0.6f * u + grain(random), 0.3f + 0.5f * v + grain(random),
                               0.7f - 0.4f * u * v + grain(random), 1.0f};
        });
}

// A camera JPEG with the usual capture metadata, in the system's temporary folder while the
// program runs.
class SourcePhoto {
  public:
    SourcePhoto()
        : path_(std::filesystem::temp_directory_path() /
                ("quillmere-bench-" + UUID::random().uuidString() + ".jpg")) {
        file_io::writeFileAtomically(path_,
                                     fixtures::withExif(encodeJpeg(fixtures::makePattern({}), 0.9),
                                                        {.orientation = 1,
                                                         .isoSpeedRatings = {200},
                                                         .make = "Cam",
                                                         .model = "One",
                                                         .exposureTime = "1/125",
                                                         .fNumber = "28/10",
                                                         .gps = true}));
    }
    ~SourcePhoto() {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    SourcePhoto(const SourcePhoto&) = delete;
    SourcePhoto& operator=(const SourcePhoto&) = delete;

    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

EditParams typicalEdit() {
    EditParams edit;
    edit.exposure = 0.4;
    edit.contrast = 15;
    edit.shadows = 25;
    for (int i = 0; i < 5; ++i) {
        edit.spotRepairs.emplace_back(UUID::random(), 0.1 * (i + 1), 0.5, 0.02,
                                      std::vector<SpotRepair::Point>{{0.1 * (i + 1), 0.52}});
    }
    return edit;
}

// Arguments: long-edge limit (0 = none), threads (0 = every core).
void BM_JpegExport(benchmark::State& state) {
    const std::size_t threads = state.range(1) > 0
                                    ? static_cast<std::size_t>(state.range(1))
                                    : static_cast<std::size_t>(tbb::info::default_concurrency());
    const tbb::global_control limit(tbb::global_control::max_allowed_parallelism, threads);
    const Exporter exporter;
    const auto image = developedImage(Device());
    const EditParams edit = typicalEdit();
    const SourcePhoto source;
    const ExportOptions options{.format = ExportFormat::jpeg,
                                .quality = 0.82,
                                .maxLongEdge = state.range(0) > 0
                                                   ? std::optional<std::int64_t>(state.range(0))
                                                   : std::nullopt,
                                .includeSoftware = true,
                                .includeEditParameters = true};
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::string jpeg = exporter.data(*image, source.path(), edit, options);
        bytes = jpeg.size();
        benchmark::DoNotOptimize(jpeg.data());
    }
    state.counters["file_MB"] = static_cast<double>(bytes) / 1e6;
}

BENCHMARK(BM_JpegExport)
    ->ArgNames({"limit", "threads"})
    ->Args({2560, 1})
    ->Args({2560, 0})
    ->Args({0, 1})
    ->Args({0, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace quillmere
