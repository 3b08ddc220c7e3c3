#include "core/decode/raw_filter_configuration.h"

#include <algorithm>
#include <utility>

#include "core/photo/path_extension.h"

namespace quillmere::RAWFilterConfiguration {
namespace {

constexpr const char* kStandardDecoderVersion = "8";

bool offers(const ConfigurableRAWFilter& filter, const std::string& version) {
    const std::vector<std::string> versions = filter.supportedDecoderVersions();
    return std::find(versions.begin(), versions.end(), version) != versions.end();
}

void requestStandardDecoder(ConfigurableRAWFilter& filter) {
    std::string standard(kStandardDecoderVersion);
    if (offers(filter, standard)) filter.settings.decoderVersion = std::move(standard);
}

// Keeps the values above 1 that the develop controls recover, at the photo's full size, without
// the decoder's own look.
void developNeutrally(RAWFilterSettings& settings) {
    settings.shadowBias = 0.0f;
    settings.gamutMappingEnabled = false;
    settings.extendedDynamicRangeAmount = 2.0f;
    settings.draftModeEnabled = false;
    settings.scaleFactor = 1.0f;
}

// Exposure belongs to the edit. A DNG's baseline exposure and local tone mapping are the
// converter's rendering choices, so they go; a camera's own RAW keeps its baseline.
void neutraliseExposure(ConfigurableRAWFilter& filter, const std::filesystem::path& url) {
    RAWFilterSettings& settings = filter.settings;
    settings.boostAmount = 0.0f;
    settings.exposure = 0.0f;
    if (lowercasedExtension(url) == "dng") {
        settings.baselineExposure = 0.0f;
        if (filter.support().localToneMap) settings.localToneMapAmount = 0.0f;
    }
    developNeutrally(settings);
}

}  // namespace

std::optional<std::string> neuralVersion(const ConfigurableRAWFilter& filter) {
    for (const char* version : {"9", "9.dng"}) {
        if (offers(filter, version)) return version;
    }
    return std::nullopt;
}

void configureForDecode(ConfigurableRAWFilter& filter, const std::filesystem::path& url) {
    requestStandardDecoder(filter);
    neutraliseExposure(filter, url);
    const RAWFilterSupport support = filter.support();
    if (support.luminanceNoiseReduction) filter.settings.luminanceNoiseReductionAmount = 0.0f;
    if (support.colorNoiseReduction) filter.settings.colorNoiseReductionAmount = 0.0f;
}

void configureForNoiseReduction(ConfigurableRAWFilter& filter, const std::filesystem::path& url,
                                bool neural) {
    neutraliseExposure(filter, url);
    RAWFilterSettings& settings = filter.settings;
    settings.luminanceNoiseReductionAmount = neural ? 0.8f : 1.0f;
    const RAWFilterSupport support = filter.support();
    if (support.colorNoiseReduction) settings.colorNoiseReductionAmount = 1.0f;
    if (support.sharpness) settings.sharpnessAmount = 0.0f;
    if (support.contrast) settings.contrastAmount = 0.0f;
    if (support.detail) settings.detailAmount = 0.0f;
}

void configureForRAWTexture(ConfigurableRAWFilter& filter, const std::filesystem::path& url) {
    requestStandardDecoder(filter);
    neutraliseExposure(filter, url);
    RAWFilterSettings& settings = filter.settings;
    const RAWFilterSupport support = filter.support();
    if (support.luminanceNoiseReduction) settings.luminanceNoiseReductionAmount = 0.0f;
    if (support.colorNoiseReduction) settings.colorNoiseReductionAmount = 0.0f;
    if (support.sharpness) settings.sharpnessAmount = 0.0f;
    if (support.moireReduction) settings.moireReductionAmount = 0.0f;
}

}  // namespace quillmere::RAWFilterConfiguration
