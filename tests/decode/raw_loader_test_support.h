#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "core/compute/device.h"
#include "core/decode/configurable_raw_filter.h"
#include "core/decode/raw_loader.h"
#include "core/imageio/jpeg_encoder.h"
#include "tests/fixtures/temporary_folder.h"
#include "tests/fixtures/test_exif.h"
#include "tests/fixtures/test_pattern.h"
#include "tests/fixtures/texture_fixtures.h"

namespace quillmere::loader_testing {

// How a fake filter's model download ends.
enum class DownloadBehaviour { completes, fails, neverCompletes };

// What a fake RAW filter claims about its file, and what it develops.
struct FakeRAWFile {
    std::vector<std::string> decoderVersions{"8"};
    RAWFilterSupport support{};
    float temperature = 4800.0f;
    float tint = 12.0f;
    std::optional<json::Json> properties = json::Json{{"{TIFF}", {{"Make", "Fake"}}}};
    std::optional<PixelSize> size = PixelSize{40, 30};
    // The developed image's size when it differs from `size` (a decoder that changes geometry);
    // no image at all when `developsImage` is false.
    std::optional<PixelSize> developedSize{};
    bool developsImage = true;
    bool throwsWhileDeveloping = false;
    DownloadBehaviour download = DownloadBehaviour::completes;
};

// Everything the fake filters of one provider were asked, in order.
struct FakeRAWFilterLog {
    int filtersMade = 0;
    // The settings of every development, in order.
    std::vector<RAWFilterSettings> developments;
    int downloadsStarted = 0;
    int downloadsCancelled = 0;
    // Completions of downloads that never complete on their own, so a test can finish them late.
    std::vector<ConfigurableRAWFilter::DownloadCompletion> pendingCompletions;
};

// The texel a fake filter develops: the settings that distinguish the decode paths, so a test
// can tell by the pixels which path and variant made a texture.
inline msl::float4 fakeTexel(const RAWFilterSettings& settings, int x, int y) {
    return {settings.luminanceNoiseReductionAmount + 0.01f * static_cast<float>(x % 7),
            settings.baselineExposure + 0.02f * static_cast<float>(y % 5),
            settings.extendedDynamicRangeAmount, 1.0f};
}

class FakeRAWFilter final : public ConfigurableRAWFilter {
  public:
    // The defaults a decoder might have for a camera file, none of them what the loader wants.
    static RAWFilterSettings cameraDefaults() {
        RAWFilterSettings settings;
        settings.decoderVersion = "7";
        settings.baselineExposure = 0.5f;
        settings.localToneMapAmount = 0.3f;
        settings.shadowBias = 0.1f;
        settings.extendedDynamicRangeAmount = 0.0f;
        settings.luminanceNoiseReductionAmount = 0.4f;
        settings.colorNoiseReductionAmount = 0.4f;
        settings.sharpnessAmount = 0.4f;
        settings.contrastAmount = 0.4f;
        settings.detailAmount = 0.4f;
        settings.moireReductionAmount = 0.4f;
        settings.scaleFactor = 0.5f;
        settings.draftModeEnabled = true;
        return settings;
    }

    FakeRAWFilter(FakeRAWFile file, std::shared_ptr<FakeRAWFilterLog> log)
        : ConfigurableRAWFilter(cameraDefaults()), file(std::move(file)), log(std::move(log)) {}

    std::vector<std::string> supportedDecoderVersions() const override {
        return file.decoderVersions;
    }
    RAWFilterSupport support() const override { return file.support; }
    float neutralTemperature() const override { return file.temperature; }
    float neutralTint() const override { return file.tint; }
    std::optional<json::Json> properties() const override { return file.properties; }
    std::optional<PixelSize> outputSize() const override { return file.size; }

    std::shared_ptr<Texture> outputImage(const Device& device) override {
        log->developments.push_back(settings);
        if (file.throwsWhileDeveloping) throw std::bad_alloc();
        if (!file.developsImage || !file.size) return nullptr;
        const PixelSize size = file.developedSize.value_or(*file.size);
        return testing::makeTexture(device, PixelFormat::rgba32Float, size.width, size.height,
                                    [&](int x, int y) { return fakeTexel(settings, x, y); });
    }

    std::shared_ptr<ModelResourceDownload> downloadModelResources(
        std::chrono::milliseconds, DownloadCompletion completion) override {
        ++log->downloadsStarted;
        switch (file.download) {
            case DownloadBehaviour::completes:
                completion(std::nullopt);
                break;
            case DownloadBehaviour::fails:
                completion("The Internet connection appears to be offline.");
                break;
            case DownloadBehaviour::neverCompletes:
                log->pendingCompletions.push_back(std::move(completion));
                break;
        }
        return std::make_shared<CountedCancellation>(log);
    }

  private:
    struct CountedCancellation final : ModelResourceDownload {
        explicit CountedCancellation(std::shared_ptr<FakeRAWFilterLog> log) : log(std::move(log)) {}
        void cancel() override { ++log->downloadsCancelled; }
        std::shared_ptr<FakeRAWFilterLog> log;
    };

    FakeRAWFile file;
    std::shared_ptr<FakeRAWFilterLog> log;
};

// Makes fake filters for the files it was told about and none for any other file.
class FakeRAWFilterProvider final : public RAWFilterProvider {
  public:
    std::map<std::filesystem::path, FakeRAWFile> files;
    std::shared_ptr<FakeRAWFilterLog> log = std::make_shared<FakeRAWFilterLog>();

    std::unique_ptr<ConfigurableRAWFilter> makeFilter(
        const std::filesystem::path& url) const override {
        const auto file = files.find(url);
        if (file == files.end()) return nullptr;
        ++log->filtersMade;
        return std::make_unique<FakeRAWFilter>(file->second, log);
    }
};

inline void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// A JPEG of the test pattern at `path`, with its EXIF.
inline void writeJpeg(const std::filesystem::path& path, const fixtures::TestPattern& pattern,
                      const fixtures::TestExif& exif = {}) {
    writeFile(path, fixtures::withExif(encodeJpeg(fixtures::makePattern(pattern), 0.95), exif));
}

inline bool never() { return false; }

inline PixelSize sizeOf(const OpenedPhoto& photo) {
    return {static_cast<int>(photo.pixelWidth), static_cast<int>(photo.pixelHeight)};
}

// A loader on a compute device with fake RAW filters, and a folder for its photos.
class LoaderTest : public ::testing::Test {
  protected:
    std::filesystem::path photoPath(const std::string& name) const { return folder.path() / name; }

    // A fake RAW file that the provider develops; the file itself need not exist.
    std::filesystem::path fakeRAW(const std::string& name, FakeRAWFile file = {}) {
        const std::filesystem::path path = photoPath(name);
        provider->files[path] = std::move(file);
        return path;
    }

    std::shared_ptr<Texture> texture(const std::filesystem::path& path, bool denoised,
                                     PreviewResolution resolution,
                                     DenoiseMethod method = DenoiseMethod::natural,
                                     bool preserveRAWTexture = false) {
        return loader->texture(PhotoID{path}, denoised, resolution, method, preserveRAWTexture,
                               never);
    }

    FakeRAWFilterLog& log() { return *provider->log; }

    testing::TemporaryFolder folder;
    std::shared_ptr<const Device> device = std::make_shared<Device>();
    std::shared_ptr<FakeRAWFilterProvider> provider = std::make_shared<FakeRAWFilterProvider>();
    std::unique_ptr<RAWLoader> loader = std::make_unique<RAWLoader>(device, provider);
};

// The message of the error `action` throws, or a note that it threw none.
template <typename ErrorType, typename Action>
std::string messageOf(Action&& action) {
    try {
        action();
    } catch (const ErrorType& error) {
        return error.what();
    }
    return "(no error)";
}

}  // namespace quillmere::loader_testing
