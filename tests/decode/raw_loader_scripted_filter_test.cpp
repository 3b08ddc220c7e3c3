#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "core/decode/configurable_raw_filter.h"
#include "core/decode/raw_loader.h"
#include "core/decode/raw_loader_error.h"
#include "tests/decode/raw_loader_test_support.h"

namespace quillmere {
namespace {

using testing::messageOf;

constexpr auto fit = PreviewResolution::fit;
constexpr auto full = PreviewResolution::full;

enum class DownloadBehaviour { completes, fails, neverCompletes };

// What a scripted RAW filter claims about its file, and how it misbehaves.
struct ScriptedFile {
    std::vector<std::string> decoderVersions{"8"};
    std::optional<PixelSize> size = PixelSize{40, 30};
    // The developed image's size when it differs from `size`; no image when `developsImage` is
    // false.
    std::optional<PixelSize> developedSize{};
    bool developsImage = true;
    bool throwsWhileDeveloping = false;
    DownloadBehaviour download = DownloadBehaviour::completes;
    bool supportsDetail = true;
};

struct ScriptLog {
    std::vector<RAWFilterSettings> developments;
    int downloadsStarted = 0;
    int downloadsCancelled = 0;
    // Completions of downloads that never complete on their own, so a test can finish them late.
    std::vector<ConfigurableRAWFilter::DownloadCompletion> pendingCompletions;
};

class ScriptedFilter final : public ConfigurableRAWFilter {
  public:
    ScriptedFilter(ScriptedFile file, std::shared_ptr<ScriptLog> log)
        : ConfigurableRAWFilter({}), file(std::move(file)), log(std::move(log)) {}

    std::vector<std::string> supportedDecoderVersions() const override {
        return file.decoderVersions;
    }
    RAWFilterSupport support() const override { return {}; }
    float neutralTemperature() const override { return 5000.0f; }
    float neutralTint() const override { return 0.0f; }
    std::optional<json::Json> properties() const override { return json::Json::object(); }
    bool supportsDetail() const override { return file.supportsDetail; }
    std::optional<PixelSize> outputSize() const override { return file.size; }

    std::shared_ptr<Texture> outputImage(const Device& device) override {
        log->developments.push_back(settings);
        if (file.throwsWhileDeveloping) throw std::bad_alloc();
        if (!file.developsImage) return nullptr;
        const PixelSize size = file.developedSize.value_or(*file.size);
        return testing::makeTexture(device, PixelFormat::rgba32Float, size.width, size.height,
                                    [](int, int) { return msl::float4{0.5f, 0.5f, 0.5f, 1.0f}; });
    }

    std::shared_ptr<ModelResourceDownload> downloadModelResources(
        std::chrono::milliseconds, DownloadCompletion completion) override {
        ++log->downloadsStarted;
        if (file.download == DownloadBehaviour::completes) completion(std::nullopt);
        if (file.download == DownloadBehaviour::fails) completion("The network is offline.");
        if (file.download == DownloadBehaviour::neverCompletes) {
            log->pendingCompletions.push_back(std::move(completion));
        }
        return std::make_shared<CountedCancellation>(log);
    }

  private:
    struct CountedCancellation final : ModelResourceDownload {
        explicit CountedCancellation(std::shared_ptr<ScriptLog> log) : log(std::move(log)) {}
        void cancel() override { ++log->downloadsCancelled; }
        std::shared_ptr<ScriptLog> log;
    };

    ScriptedFile file;
    std::shared_ptr<ScriptLog> log;
};

// Scripted filters for the files it was told about and none for any other file.
class ScriptedProvider final : public RAWFilterProvider {
  public:
    std::map<std::filesystem::path, ScriptedFile> files;
    std::shared_ptr<ScriptLog> log = std::make_shared<ScriptLog>();

    std::unique_ptr<ConfigurableRAWFilter> makeFilter(
        const std::filesystem::path& url) const override {
        const auto file = files.find(url);
        if (file == files.end()) return nullptr;
        return std::make_unique<ScriptedFilter>(file->second, log);
    }
};

class ScriptedFilterTest : public loader_testing::LoaderTest {
  protected:
    ScriptedFilterTest() {
        loader = std::make_unique<RAWLoader>(
            device, provider,
            NeuralModelTimeouts{std::chrono::milliseconds(20), std::chrono::milliseconds(60)});
    }

    // A scripted RAW file; the file itself need not exist.
    std::filesystem::path scripted(const std::string& name, ScriptedFile file = {}) {
        const std::filesystem::path path = photoPath(name);
        provider->files[path] = std::move(file);
        return path;
    }

    ScriptLog& log() { return *provider->log; }

    std::shared_ptr<ScriptedProvider> provider = std::make_shared<ScriptedProvider>();
};

TEST_F(ScriptedFilterTest, AMisbehavingDecoderIsRefusedWithItsSentence) {
    const auto noImage = scripted("no_image.nef", {.developsImage = false});
    const auto reshaped = scripted("reshaped.nef", {.developedSize = PixelSize{30, 40}});
    const auto hostile = scripted("hostile.nef", {.throwsWhileDeveloping = true});
    const struct {
        std::filesystem::path path;
        bool denoised;
        bool preserveRAWTexture;
        std::string message;
    } cases[] = {
        {noImage, false, false, "RAW decoder returned no image."},
        {noImage, true, false, "The denoise decoder returned no image."},
        {noImage, false, true, "Could not decode the RAW texture."},
        {reshaped, true, false, "Denoise changed the image geometry; rendering was stopped."},
        {reshaped, false, true, "RAW texture changed the image geometry."},
        {hostile, false, true, "Cannot decode hostile.nef as a supported photo."},
    };
    for (const auto& [path, denoised, preserveRAWTexture, message] : cases) {
        loader->open(path);
        EXPECT_EQ(messageOf<RAWLoaderError>([&] {
                      texture(path, denoised, full, DenoiseMethod::natural, preserveRAWTexture);
                  }),
                  message);
    }
    // A filter without a size leaves the photo unopened.
    const auto unsized = scripted("no_size.dng", {.size = PixelSize{0, 10}});
    EXPECT_EQ(messageOf<RAWLoaderError>([&] { loader->open(unsized); }),
              "Cannot decode no_size.dng as a supported photo.");
}

TEST_F(ScriptedFilterTest, TheNeuralDecoderDenoisesOnlyOnceItsModelIsThere) {
    // The neural backend needs exactly version "9" or "9.dng" on offer.
    const std::pair<std::vector<std::string>, DenoiseBackend> offers[] = {
        {{"8", "9"}, DenoiseBackend::neuralRAW9},
        {{"8", "9.dng"}, DenoiseBackend::neuralRAW9},
        {{"8", "9.1", "90", "9.DNG"}, DenoiseBackend::standard},
    };
    int file = 0;
    for (const auto& [versions, backend] : offers) {
        const auto path = scripted(std::to_string(++file) + ".dng", {.decoderVersions = versions});
        EXPECT_EQ(loader->open(path).denoiseBackend, backend) << file;
    }
    loader->open(photoPath("2.dng"));
    texture(photoPath("2.dng"), true, full);
    ASSERT_EQ(log().developments.size(), 1u);
    EXPECT_EQ(log().developments[0].decoderVersion, "9.dng");
    EXPECT_EQ(log().developments[0].luminanceNoiseReductionAmount, 0.8f);

    const auto failed =
        scripted("failed.arw", {.decoderVersions = {"9"}, .download = DownloadBehaviour::fails});
    loader->open(failed);
    EXPECT_EQ(messageOf<RAWLoaderError>([&] { texture(failed, true, fit); }),
              "Could not prepare the local denoise model: The network is offline.");

    const auto offline = scripted("offline.arw", {.decoderVersions = {"8", "9"},
                                                  .download = DownloadBehaviour::neverCompletes});
    loader->open(offline);
    const std::string timedOut =
        "The local denoise model could not be prepared. Please try again when online.";
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(messageOf<RAWLoaderError>([&] { texture(offline, true, fit); }), timedOut);
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(60));
    EXPECT_EQ(log().downloadsCancelled, 1);
    EXPECT_EQ(messageOf<RAWLoaderError>([&] { texture(offline, true, fit); }), timedOut);
    EXPECT_EQ(log().downloadsStarted, 4) << "tried again";
    // The downloads report long after the loader stopped waiting for them.
    for (auto& completion : log().pendingCompletions) completion(std::nullopt);
    EXPECT_EQ(log().developments.size(), 1u);
}

TEST_F(ScriptedFilterTest, DetailRefusesASensorCroppedOtherwiseThanThePhoto) {
    const auto path = syntheticDNG("cropped.dng");
    // The filter develops a size that differs from the bridge's crop of the sensor.
    provider->files[path] = ScriptedFile{.size = PixelSize{126, 94}};
    ASSERT_TRUE(loader->open(path).supportsDetailDenoise);
    for (const bool denoised : {false, true}) {
        EXPECT_EQ(messageOf<RAWLoaderError>(
                      [&] { texture(path, denoised, fit, DenoiseMethod::matchFilter); }),
                  "Detail does not yet support this camera's crop. Please use Natural for this "
                  "photo.");
    }
    EXPECT_EQ(texture(path, false, full)->width(), 126);
}

}  // namespace
}  // namespace quillmere
