#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/decode/configurable_raw_filter.h"
#include "core/decode/raw_filter.h"

namespace quillmere {

// The program's RAW filter as the RAW loader configures it. It offers decoder version "8" only,
// so it never has model resources to fetch, and it honours the luminance and colour noise
// reduction amounts but no sharpening, contrast, detail, local tone mapping or moiré reduction.
class RAWFilterAdapter final : public ConfigurableRAWFilter {
  public:
    explicit RAWFilterAdapter(const std::filesystem::path& url);
    explicit RAWFilterAdapter(std::shared_ptr<const RAWFile> file);

    const std::shared_ptr<const RAWFile>& rawFile() const { return filter.rawFile(); }

    std::vector<std::string> supportedDecoderVersions() const override;
    RAWFilterSupport support() const override;
    float neutralTemperature() const override;
    float neutralTint() const override;
    std::optional<json::Json> properties() const override;
    bool supportsDetail() const override;
    std::optional<PixelSize> outputSize() const override;
    // Throws RAWFilterError when the settings are beyond the development or it fails.
    std::shared_ptr<Texture> outputImage(const Device& device) override;

  private:
    explicit RAWFilterAdapter(RAWFilter filter);

    RAWFilter filter;
};

// Makes a RAWFilterAdapter for each file the RAW filter opens. A file is read once while a filter
// of it lives: filters made meanwhile for the same, unchanged file share what was read, so the
// RAW loader's several filters of the active photo (its decode, its denoised and its fine-texture
// variants) develop one read of the sensor.
class RAWFilterAdapterProvider final : public RAWFilterProvider {
  public:
    // Files are read by `reader`, the program's own (PhotoReader::forProcess) when null.
    explicit RAWFilterAdapterProvider(PhotoReader* reader = nullptr) : reader(reader) {}

    // Null for a file the RAW filter refuses (not a three-colour Bayer RAW, no image data). Throws
    // ReadingError for a reading that ended otherwise (RAWFile).
    std::unique_ptr<ConfigurableRAWFilter> makeFilter(
        const std::filesystem::path& url) const override;

  private:
    PhotoReader* const reader;
    mutable std::mutex lock;
    // The file most recently read, while a filter of it lives.
    mutable std::weak_ptr<const RAWFile> recent;
};

}  // namespace quillmere
