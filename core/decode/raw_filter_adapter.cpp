#include "core/decode/raw_filter_adapter.h"

#include <utility>

#include "core/decode/raw_filter_error.h"

namespace quillmere {
namespace {

// The settings both records share, field by field. The RAW filter has none of the loader's other
// adjustments (local tone mapping, sharpening, contrast, detail, moiré), which stay at none.
template <typename To, typename From>
To withSharedSettings(const From& from) {
    To to;
    to.decoderVersion = from.decoderVersion;
    to.boostAmount = from.boostAmount;
    to.exposure = from.exposure;
    to.baselineExposure = from.baselineExposure;
    to.shadowBias = from.shadowBias;
    to.gamutMappingEnabled = from.gamutMappingEnabled;
    to.extendedDynamicRangeAmount = from.extendedDynamicRangeAmount;
    to.draftModeEnabled = from.draftModeEnabled;
    to.scaleFactor = from.scaleFactor;
    to.luminanceNoiseReductionAmount = from.luminanceNoiseReductionAmount;
    to.colorNoiseReductionAmount = from.colorNoiseReductionAmount;
    return to;
}

}  // namespace

RawFilterAdapter::RawFilterAdapter(const std::filesystem::path& url)
    : RawFilterAdapter(RawFilter(url)) {}

RawFilterAdapter::RawFilterAdapter(RawFilter filter)
    : ConfigurableRAWFilter(withSharedSettings<RAWFilterSettings>(filter.settings())),
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
    filter.setSettings(withSharedSettings<RawFilterSettings>(settings));
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
