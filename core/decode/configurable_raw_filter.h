#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/common/json_coding.h"
#include "core/compute/device.h"
#include "core/compute/texture.h"
#include "core/decode/raw_filter_settings.h"

namespace quillmere {

// A width and a height in pixels.
struct PixelSize {
    int width = 0;
    int height = 0;

    bool operator==(const PixelSize&) const = default;
};

// Which optional settings a filter honours for its file; the others are left alone.
struct RAWFilterSupport {
    bool localToneMap = false;
    bool luminanceNoiseReduction = false;
    bool colorNoiseReduction = false;
    bool sharpness = false;
    bool contrast = false;
    bool detail = false;
    bool moireReduction = false;
};

// A download of a neural decoder's model resources that is still running.
class ModelResourceDownload {
  public:
    virtual ~ModelResourceDownload() = default;
    // Stops the download. Its completion may still be called afterwards, from any thread.
    virtual void cancel() = 0;
};

// One RAW file opened by a RAW decoder, ready to be configured and developed. Used under the RAW
// loader's lock, one thread at a time.
class ConfigurableRAWFilter {
  public:
    // Called once, on any thread, with the failure's description or nothing on success.
    using DownloadCompletion = std::function<void(std::optional<std::string> errorDescription)>;

    explicit ConfigurableRAWFilter(RAWFilterSettings defaults) : settings(std::move(defaults)) {}
    virtual ~ConfigurableRAWFilter() = default;
    ConfigurableRAWFilter(const ConfigurableRAWFilter&) = delete;
    ConfigurableRAWFilter& operator=(const ConfigurableRAWFilter&) = delete;

    RAWFilterSettings settings;

    // The decoder versions offered for this file, in the decoder's order ("8", "9", ...).
    virtual std::vector<std::string> supportedDecoderVersions() const = 0;
    virtual RAWFilterSupport support() const = 0;
    // The camera's as-shot white balance as a colour temperature in kelvin and a tint.
    virtual float neutralTemperature() const = 0;
    virtual float neutralTint() const = 0;
    // The file's image properties in the platform's dictionary layout; nothing when unreadable.
    virtual std::optional<json::Json> properties() const = 0;
    // Whether the file's sensor can feed the Detail denoiser (a three-colour Bayer RAW the sensor
    // read takes), as the decoder that read the file found.
    virtual bool supportsDetail() const = 0;
    // The size outputImage() will have, without developing; nothing when the file will not
    // develop.
    virtual std::optional<PixelSize> outputSize() const = 0;
    // The photo developed with the current settings into a new texture of `device`: extended
    // linear sRGB, bottom row first; null when the decoder gives no image. May throw on a file it
    // cannot develop.
    virtual std::shared_ptr<Texture> outputImage(const Device& device) = 0;

    // Starts fetching the model resources of the current neural decoder version; `completion`
    // reports how it ended. A decoder without resources to fetch completes at once; that is
    // every decoder that offers no neural version.
    virtual std::shared_ptr<ModelResourceDownload> downloadModelResources(
        std::chrono::milliseconds timeout, DownloadCompletion completion) {
        (void)timeout;
        completion(std::nullopt);
        return nullptr;
    }
};

// Makes RAW filters: the program's own decoder, or a stand-in in tests.
class RAWFilterProvider {
  public:
    virtual ~RAWFilterProvider() = default;
    // A new filter for the file; null when the decoder cannot open it.
    virtual std::unique_ptr<ConfigurableRAWFilter> makeFilter(
        const std::filesystem::path& url) const = 0;
};

}  // namespace quillmere
