#include "core/decode/raw_filter_adapter.h"

#include <utility>

#include "core/decode/raw_filter_error.h"

namespace quillmere {

RawFilterAdapter::RawFilterAdapter(const std::filesystem::path& url)
    : RawFilterAdapter(RawFilter(url)) {}

RawFilterAdapter::RawFilterAdapter(RawFilter filter)
    : ConfigurableRAWFilter(filter.settings()),
      filter(std::move(filter)) {}

std::vector<std::string> RawFilterAdapter::supportedDecoderVersions() const {
    return RawFilter::supportedDecoderVersions();
}

RAWFilterSupport RawFilterAdapter::support() const {
    return {.luminanceNoiseReduction = true, .colorNoiseReduction = true};
}

float RawFilterAdapter::neutralTemperature() const { return filter.neutralTemperature(); }

float RawFilterAdapter::neutralTint() const { return filter.neutralTint(); }

std::optional<json::Json> RawFilterAdapter::properties() const {
    return filter.properties().json();
}

std::optional<PixelSize> RawFilterAdapter::outputSize() const {
    return PixelSize{filter.outputWidth(), filter.outputHeight()};
}

std::shared_ptr<Texture> RawFilterAdapter::outputImage(const Device& device) {
    filter.setSettings(settings);
    return filter.outputTexture(device);
}

std::unique_ptr<ConfigurableRAWFilter> RawFilterAdapterProvider::makeFilter(
    const std::filesystem::path& url) const {
    try {
        return std::make_unique<RawFilterAdapter>(url);
    } catch (const RawFilterError&) {
        return nullptr;
    }
}

}  // namespace quillmere
