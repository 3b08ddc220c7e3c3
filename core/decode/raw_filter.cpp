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
#include "core/decode/as_shot_white_balance.h"
#include "core/decode/raw_filter_error.h"
#include "core/decode/raw_image_properties.h"
#include "core/imageio/linear_image.h"

namespace quillmere {
namespace {

constexpr std::size_t kBridgeErrorLength = 1024;
constexpr float kExposureLimit = 10.0f;  // EV either way
constexpr float kHighestDynamicRangeAmount = 2.0f;
constexpr int kRowsPerTask = 16;

struct BridgeBufferRelease {
    void operator()(std::uint16_t* pixels) const { qx_raw_free(pixels); }
};

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

// The pixel counts the filter works with, checked before anything of theirs is allocated.
void requireAllocatableSize(const QXRAWMetadata& m) {
    const std::int64_t quads = std::int64_t{m.packed_width} * m.packed_height;
    const std::int64_t pixels = std::int64_t{m.output_width} * m.output_height;
    if (m.packed_width < 1 || m.packed_height < 1 || m.output_width < 1 || m.output_height < 1) {
        throw RAWFilterError(RAWFilterError::Code::unsupportedFile,
                             "LibRaw reported an empty sensor.");
    }
    if (quads * 4 > LinearImage::maxPixelCount || pixels > LinearImage::maxPixelCount) {
        throw RAWFilterError(
            RAWFilterError::Code::outOfMemory,
            fmt::format("The photo has {} × {} pixels.", m.output_width, m.output_height));
    }
}

// The developed rows (bottom first, as the texture keeps them) scaled by `exposure` and, for
// standard dynamic range, clipped at 1; alpha stays 1.
void copyAdjusted(const std::uint16_t* rgba, Texture& texture, float exposure, bool clipped) {
    const int width = texture.width();
    tbb::parallel_for(
        tbb::blocked_range<int>(0, texture.height(), kRowsPerTask), [&](const auto& rows) {
            std::vector<float> values(static_cast<std::size_t>(width) * 4);
            for (int y = rows.begin(); y != rows.end(); ++y) {
                const std::span<const std::uint16_t> row(
                    rgba + static_cast<std::size_t>(y) * values.size(), values.size());
                convertHalfToFloat(row, values);
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

RAWFilter::RAWFilter(const std::filesystem::path& file) : file_(file) {
    char error[kBridgeErrorLength] = {};
    float* pixels = nullptr;
    const int read = qx_raw_read(file_.c_str(), &metadata_, &pixels, error, sizeof error);
    plane_.reset(pixels);
    if (read != 0) throw RAWFilterError(RAWFilterError::Code::unsupportedFile, error);
    requireAllocatableSize(metadata_);

    QXRAWCaptureInfo info{};
    if (qx_raw_read_capture_info(file_.c_str(), &info, error, sizeof error) != 0) {
        throw RAWFilterError(RAWFilterError::Code::unsupportedFile, error);
    }
    neutral_ = asShotWhiteBalance(info);
    noise_ = SensorNoiseProfile::fromMetadata(metadata_);
    properties_ = completedRAWProperties(ImageProperties::read(file_), info, metadata_.crop_width,
                                         metadata_.crop_height);
    settings_.baselineExposure =
        std::clamp(info.baseline_exposure, -kExposureLimit, kExposureLimit);
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

const float* RAWFilter::developedPlane(std::unique_ptr<float[]>& storage) const {
    const NoiseReductionAmounts amounts{settings_.luminanceNoiseReductionAmount,
                                        settings_.colorNoiseReductionAmount};
    if (amounts.luminance == 0.0f && amounts.color == 0.0f) return plane_.get();
    try {
        storage.reset(new float[static_cast<std::size_t>(metadata_.packed_width) *
                                metadata_.packed_height * 4]);
        reduceSensorNoise(plane_.get(), storage.get(), metadata_.packed_width,
                          metadata_.packed_height, noise_, amounts);
    } catch (const std::bad_alloc&) {
        throw RAWFilterError(RAWFilterError::Code::outOfMemory, "");
    }
    return storage.get();
}

std::shared_ptr<Texture> RAWFilter::outputTexture(const Device& device) const {
    // The texture comes first, so that a photo too large for the device fails before the work.
    std::shared_ptr<Texture> texture = device.makeTexture(
        {PixelFormat::rgba16Float, outputWidth(), outputHeight(),
         TextureUsage::shaderRead | TextureUsage::shaderWrite, StorageMode::shared});
    if (!texture) throw RAWFilterError(RAWFilterError::Code::outOfMemory, "");

    std::unique_ptr<float[]> denoised;
    const float* plane = developedPlane(denoised);
    char error[kBridgeErrorLength] = {};
    std::uint16_t* pixels = nullptr;
    const int rendered =
        qx_raw_render(file_.c_str(), &metadata_, plane, &pixels, error, sizeof error);
    const std::unique_ptr<std::uint16_t[], BridgeBufferRelease> rgba(pixels);
    denoised.reset();
    if (rendered != 0) throw RAWFilterError(RAWFilterError::Code::developFailed, error);

    const float exposure = std::exp2(settings_.exposure + settings_.baselineExposure);
    const bool clipped = settings_.extendedDynamicRangeAmount == 0.0f;
    if (exposure == 1.0f && !clipped) {
        texture->replaceRegion({0, 0, outputWidth(), outputHeight()}, rgba.get(),
                               static_cast<std::size_t>(outputWidth()) * 4 * sizeof(std::uint16_t));
        return texture;
    }
    try {
        copyAdjusted(rgba.get(), *texture, exposure, clipped);
    } catch (const std::bad_alloc&) {
        throw RAWFilterError(RAWFilterError::Code::outOfMemory, "");
    }
    return texture;
}

}  // namespace quillmere
