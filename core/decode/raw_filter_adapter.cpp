#include "core/decode/raw_filter_adapter.h"

#include <utility>

#include "core/decode/raw_filter_error.h"

namespace quillmere {
namespace {

RAWFilterSettings loaderSettings(const RawFilterSettings& settings) {
    RAWFilterSettings mapped;
    mapped.decoderVersion = settings.decoderVersion;
    mapped.boostAmount = settings.boostAmount;
    mapped.exposure = settings.exposure;
    mapped.baselineExposure = settings.baselineExposure;
    mapped.shadowBias = settings.shadowBias;
    mapped.gamutMappingEnabled = settings.gamutMappingEnabled;
    mapped.extendedDynamicRangeAmount = settings.extendedDynamicRangeAmount;
    mapped.draftModeEnabled = settings.draftModeEnabled;
    mapped.scaleFactor = settings.scaleFactor;
    mapped.luminanceNoiseReductionAmount = settings.luminanceNoiseReductionAmount;
    mapped.colorNoiseReductionAmount = settings.colorNoiseReductionAmount;
    // The development has none of the other adjustments, so they stay at "none".
    mapped.localToneMapAmount = 0.0f;
    mapped.sharpnessAmount = 0.0f;
    mapped.contrastAmount = 0.0f;
    mapped.detailAmount = 0.0f;
    mapped.moireReductionAmount = 0.0f;
    return mapped;
}

RawFilterSettings filterSettings(const RAWFilterSettings& settings) {
    RawFilterSettings mapped;
    mapped.decoderVersion = settings.decoderVersion;
    mapped.boostAmount = settings.boostAmount;
    mapped.exposure = settings.exposure;
    mapped.baselineExposure = settings.baselineExposure;
    mapped.shadowBias = settings.shadowBias;
    mapped.gamutMappingEnabled = settings.gamutMappingEnabled;
    mapped.extendedDynamicRangeAmount = settings.extendedDynamicRangeAmount;
    mapped.draftModeEnabled = settings.draftModeEnabled;
    mapped.scaleFactor = settings.scaleFactor;
    mapped.luminanceNoiseReductionAmount = settings.luminanceNoiseReductionAmount;
    mapped.colorNoiseReductionAmount = settings.colorNoiseReductionAmount;
    return mapped;
}

}  // namespace

RawFilterAdapter::RawFilterAdapter(const std::filesystem::path& url)
    : RawFilterAdapter(RawFilter(url)) {}

RawFilterAdapter::RawFilterAdapter(RawFilter filter)
    : ConfigurableRAWFilter(loaderSettings(filter.settings())), filter(std::move(filter)) {}

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
    filter.setSettings(filterSettings(settings));
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
