#include "core/decode/raw_file.h"

#include <fmt/format.h>

#include <cstring>
#include <memory>
#include <new>
#include <system_error>

#include "core/decode/as_shot_white_balance.h"
#include "core/decode/bridge_output.h"
#include "core/decode/raw_file_vetting.h"
#include "core/decode/raw_filter_error.h"
#include "core/decode/raw_image_properties.h"
#include "core/imageio/linear_image.h"
#include "core/reading/photo_file_metadata.h"

namespace quillmere {
namespace {

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

[[noreturn]] void developFailed(const BridgeErrorBuffer& error) {
    throw RAWFilterError(RAWFilterError::Code::developFailed,
                         error.message("Unknown linear RAW rendering error."));
}

}  // namespace

RAWFile::RAWFile(const std::filesystem::path& file) : file_(file), stamp_(stampOf(file)) {
    if (const std::optional<std::string> refusal = rawFileRefusal(file_)) {
        throw RAWFilterError(RAWFilterError::Code::unsupportedFile, *refusal);
    }
    BridgeErrorBuffer error;
    QXRAWSensor* sensor = nullptr;
    const int opened =
        qx_raw_sensor_open(file_.c_str(), &metadata_, &sensor, error.data(), error.size());
    sensor_.reset(sensor);
    if (opened != 0) {
        throw RAWFilterError(RAWFilterError::Code::unsupportedFile,
                             error.message("Unknown sensor decoding error."));
    }
    requireAllocatableSize(metadata_);

    QXRAWCaptureInfo info{};
    if (qx_raw_read_capture_info(file_.c_str(), &info, error.data(), error.size()) != 0) {
        throw RAWFilterError(RAWFilterError::Code::unsupportedFile,
                             error.message("Unknown RAW header error."));
    }
    neutral_ = asShotWhiteBalance(info);
    noise_ = SensorNoiseProfile::fromMetadata(metadata_);
    properties_ = completedRAWProperties(readPhotoFileMetadata(file_)->properties, info,
                                         metadata_.crop_width, metadata_.crop_height);
    baselineExposure_ = info.baseline_exposure;
}

RAWFile::Stamp RAWFile::stampOf(const std::filesystem::path& file) {
    std::error_code error;
    Stamp stamp;
    stamp.size = std::filesystem::file_size(file, error);
    stamp.modified = std::filesystem::last_write_time(file, error);
    return stamp;
}

bool RAWFile::isCurrent(const std::filesystem::path& file) const {
    return file == file_ && stampOf(file) == stamp_;
}

void RAWFile::readPlane(float* plane) const {
    const std::lock_guard guard(sensorLock_);
    BridgeErrorBuffer error;
    if (qx_raw_sensor_read(sensor_.get(), plane, error.data(), error.size()) != 0) {
        developFailed(error);
    }
}

void RAWFile::develop(const float* plane, std::uint16_t* rgba) const {
    if (!isCurrent(file_)) return developAgainFromFile(plane, rgba);
    const std::lock_guard guard(sensorLock_);
    BridgeErrorBuffer error;
    if (qx_raw_sensor_render(sensor_.get(), plane, rgba, error.data(), error.size()) != 0) {
        developFailed(error);
    }
}

void RAWFile::developAgainFromFile(const float* plane, std::uint16_t* rgba) const {
    // The file on disk is not the one read at construction: it is checked again first.
    if (const std::optional<std::string> refusal = rawFileRefusal(file_)) {
        throw RAWFilterError(RAWFilterError::Code::developFailed, *refusal);
    }
    std::unique_ptr<float[]> own;
    if (!plane) {
        const auto floats = static_cast<std::size_t>(metadata_.packed_width) *
                            static_cast<std::size_t>(metadata_.packed_height) * 4;
        own.reset(new (std::nothrow) float[floats]);
        if (!own) throw RAWFilterError(RAWFilterError::Code::outOfMemory, "");
        readPlane(own.get());
        plane = own.get();
    }
    BridgeErrorBuffer error;
    std::uint16_t* pixels = nullptr;
    const int rendered =
        qx_raw_render(file_.c_str(), &metadata_, plane, &pixels, error.data(), error.size());
    const BridgeBuffer<std::uint16_t> developed(pixels);
    if (rendered != 0 || !developed) developFailed(error);
    std::memcpy(rgba, developed.get(),
                static_cast<std::size_t>(metadata_.output_width) *
                    static_cast<std::size_t>(metadata_.output_height) * 4 * sizeof(std::uint16_t));
}

}  // namespace quillmere
