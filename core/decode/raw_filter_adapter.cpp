#include "core/decode/raw_filter_adapter.h"

#include <utility>

#include "core/decode/raw_filter_error.h"

namespace quillmere {

RAWFilterAdapter::RAWFilterAdapter(const std::filesystem::path& url)
    : RAWFilterAdapter(RAWFilter(url)) {}

RAWFilterAdapter::RAWFilterAdapter(std::shared_ptr<const RAWFile> file)
    : RAWFilterAdapter(RAWFilter(std::move(file))) {}

RAWFilterAdapter::RAWFilterAdapter(RAWFilter filter)
    : ConfigurableRAWFilter(filter.settings()),
      filter(std::move(filter)) {}

std::vector<std::string> RAWFilterAdapter::supportedDecoderVersions() const {
    return RAWFilter::supportedDecoderVersions();
}

RAWFilterSupport RAWFilterAdapter::support() const {
    return {.luminanceNoiseReduction = true, .colorNoiseReduction = true};
}

float RAWFilterAdapter::neutralTemperature() const { return filter.neutralTemperature(); }

float RAWFilterAdapter::neutralTint() const { return filter.neutralTint(); }

std::optional<json::Json> RAWFilterAdapter::properties() const {
    return filter.properties().json();
}

bool RAWFilterAdapter::supportsDetail() const { return filter.rawFile()->supportsDetail(); }

std::optional<PixelSize> RAWFilterAdapter::outputSize() const {
    return PixelSize{filter.outputWidth(), filter.outputHeight()};
}

std::shared_ptr<Texture> RAWFilterAdapter::outputImage(const Device&) {
    // The file's reader develops it; its texture is the reader's sealed file.
    filter.setSettings(settings);
    return filter.outputTexture();
}

std::unique_ptr<ConfigurableRAWFilter> RAWFilterAdapterProvider::makeFilter(
    const std::filesystem::path& url) const {
    const std::lock_guard guard(lock);
    std::shared_ptr<const RAWFile> file = recent.lock();
    if (!file || !file->isCurrent(url)) {
        try {
            PhotoReader& reading = reader ? *reader : PhotoReader::forProcess();
            file = std::make_shared<const RAWFile>(url, reading);
        } catch (const RAWFilterError&) {
            // A file the filter does not read; a reading that ended otherwise (ReadingError) is
            // its caller's to tell.
            return nullptr;
        }
        recent = file;
    }
    return std::make_unique<RAWFilterAdapter>(std::move(file));
}

}  // namespace quillmere
