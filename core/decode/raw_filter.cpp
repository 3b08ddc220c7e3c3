#include "core/decode/raw_filter.h"

#include <fmt/format.h>
#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>
#include <span>

#include "core/compute/half_float.h"
#include "core/decode/raw_filter_error.h"

namespace quillmere {
namespace {

constexpr float kExposureLimit = 10.0f;  // EV either way
constexpr float kHighestDynamicRangeAmount = 2.0f;
constexpr int kRowsPerTask = 16;

[[noreturn]] void refuse(const std::string& setting) {
    throw RAWFilterError(RAWFilterError::Code::unsupportedSetting, setting + ".");
}

void requireInRange(const char* name, float value, float lowest, float highest) {
    if (!(value >= lowest && value <= highest)) refuse(fmt::format("{} {}", name, value));
}

void requireValue(const char* name, float value, float only) {
    if (value != only) refuse(fmt::format("{} {}", name, value));
}

void requireOff(const char* name, bool enabled) {
    if (enabled) refuse(fmt::format("{} on", name));
}

// The developed texture scaled by `exposure` and, for standard dynamic range, clipped at 1;
// alpha stays 1.
void adjust(Texture& texture, float exposure, bool clipped) {
    const int width = texture.width();
    tbb::parallel_for(
        tbb::blocked_range<int>(0, texture.height(), kRowsPerTask), [&](const auto& rows) {
            std::vector<float> values(static_cast<std::size_t>(width) * 4);
            for (int y = rows.begin(); y != rows.end(); ++y) {
                convertHalfToFloat(texture.halfRow(y), values);
                for (std::size_t i = 0; i < values.size(); i += 4) {
                    for (std::size_t channel = i; channel < i + 3; ++channel) {
                        const float value = values[channel] * exposure;
                        values[channel] = clipped && value > 1.0f ? 1.0f : value;
                    }
                }
                convertFloatToHalf(values, texture.halfRow(y));
            }
        });
}

}  // namespace

RAWFilter::RAWFilter(const std::filesystem::path& file)
    : RAWFilter(std::make_shared<const RAWFile>(file)) {}

RAWFilter::RAWFilter(std::shared_ptr<const RAWFile> file) : file_(std::move(file)) {
    settings_.baselineExposure =
        std::clamp(file_->baselineExposure(), -kExposureLimit, kExposureLimit);
}

const std::vector<std::string>& RAWFilter::supportedDecoderVersions() {
    static const std::vector<std::string> versions{"8"};
    return versions;
}

RAWFilterSettings RAWFilter::initialSettings() {
    RAWFilterSettings settings;
    settings.decoderVersion = supportedDecoderVersions().front();
    settings.boostAmount = 0.0f;
    settings.gamutMappingEnabled = false;
    return settings;
}

void RAWFilter::setSettings(const RAWFilterSettings& settings) {
    const std::vector<std::string>& versions = supportedDecoderVersions();
    if (std::find(versions.begin(), versions.end(), settings.decoderVersion) == versions.end()) {
        refuse("decoderVersion \"" + settings.decoderVersion + "\"");
    }
    requireValue("boostAmount", settings.boostAmount, 0.0f);
    requireInRange("exposure", settings.exposure, -kExposureLimit, kExposureLimit);
    requireInRange("baselineExposure", settings.baselineExposure, -kExposureLimit, kExposureLimit);
    requireValue("shadowBias", settings.shadowBias, 0.0f);
    requireOff("gamutMappingEnabled", settings.gamutMappingEnabled);
    requireInRange("extendedDynamicRangeAmount", settings.extendedDynamicRangeAmount, 0.0f,
                   kHighestDynamicRangeAmount);
    requireOff("draftModeEnabled", settings.draftModeEnabled);
    requireValue("scaleFactor", settings.scaleFactor, 1.0f);
    requireInRange("luminanceNoiseReductionAmount", settings.luminanceNoiseReductionAmount, 0.0f,
                   1.0f);
    requireInRange("colorNoiseReductionAmount", settings.colorNoiseReductionAmount, 0.0f, 1.0f);
    requireValue("localToneMapAmount", settings.localToneMapAmount, 0.0f);
    requireValue("sharpnessAmount", settings.sharpnessAmount, 0.0f);
    requireValue("contrastAmount", settings.contrastAmount, 0.0f);
    requireValue("detailAmount", settings.detailAmount, 0.0f);
    requireValue("moireReductionAmount", settings.moireReductionAmount, 0.0f);
    settings_ = settings;
}

std::shared_ptr<Texture> RAWFilter::outputTexture() const {
    const NoiseReductionAmounts amounts{settings_.luminanceNoiseReductionAmount,
                                        settings_.colorNoiseReductionAmount};
    std::shared_ptr<Texture> texture;
    try {
        if (amounts.luminance == 0.0f && amounts.color == 0.0f) {
            texture = file_->develop();
        } else {
            // The noise-reduced plane is written straight into what the reader develops.
            const QXRAWMetadata& metadata = file_->metadata();
            const auto* plane = reinterpret_cast<const float*>(file_->plane()->rowData(0));
            texture = file_->develop([&](float* reduced) {
                reduceSensorNoise(plane, reduced, metadata.packed_width, metadata.packed_height,
                                  file_->noise(), amounts);
            });
        }
        const float exposure = std::exp2(settings_.exposure + settings_.baselineExposure);
        const bool clipped = settings_.extendedDynamicRangeAmount == 0.0f;
        if (exposure != 1.0f || clipped) adjust(*texture, exposure, clipped);
    } catch (const std::bad_alloc&) {
        throw RAWFilterError(RAWFilterError::Code::outOfMemory, "");
    }
    return texture;
}

}  // namespace quillmere
