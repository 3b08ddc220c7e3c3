#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>

#include "core/decode/color_temperature.h"
#include "core/decode/sensor_noise_reduction.h"
#include "core/imageio/image_properties.h"
#include "rawbridge/qx_raw.h"

namespace quillmere {

// A three-colour Bayer RAW file read once: its sensor data unpacked and kept, with the record,
// noise profile, as-shot white balance, properties and baseline exposure read alongside. The RAW
// filters of one photo share it, so that every development of the photo, denoised or not, starts
// from the one read. Immutable but for its sensor, whose developments are serialised.
class RAWFile {
  public:
    // Reads the file once the RAW checking helper got through it (rawFileRefusal). Throws
    // RAWFilterError: unsupportedFile when the helper refused the file, LibRaw cannot open or
    // unpack it, it is not a three-colour Bayer RAW or holds no image data; outOfMemory when the
    // photo is larger than the program allocates.
    explicit RAWFile(const std::filesystem::path& file);

    RAWFile(const RAWFile&) = delete;
    RAWFile& operator=(const RAWFile&) = delete;

    const std::filesystem::path& file() const { return file_; }
    const QXRAWMetadata& metadata() const { return metadata_; }
    const SensorNoiseProfile& noise() const { return noise_; }
    const TemperatureTint& neutral() const { return neutral_; }
    const ImageProperties& properties() const { return properties_; }
    // The file's own baseline exposure in EV, as it states it.
    float baselineExposure() const { return baselineExposure_; }

    // Whether the file on disk is still the one read: same path, size and modification time.
    bool isCurrent(const std::filesystem::path& file) const;

    // Fills `plane` (packed_width × packed_height × 4 floats) with the sensor's packed plane.
    // Throws RAWFilterError::developFailed.
    void readPlane(float* plane) const;

    // Develops `plane` (a packed plane; the sensor's own when null) into `rgba`: output_width ×
    // output_height pixels of four half floats, rows bottom first. Once the file has changed on
    // disk, the plane is developed through a fresh read of the file instead, once the RAW checking
    // helper got through the changed file, which refuses a file of another geometry. Throws
    // RAWFilterError::developFailed with LibRaw's words or the helper's refusal.
    void develop(const float* plane, std::uint16_t* rgba) const;

  private:
    struct Stamp {
        std::uintmax_t size = 0;
        std::filesystem::file_time_type modified;
        bool operator==(const Stamp&) const = default;
    };
    static Stamp stampOf(const std::filesystem::path& file);

    struct CloseSensor {
        void operator()(QXRAWSensor* sensor) const { qx_raw_sensor_close(sensor); }
    };

    void developAgainFromFile(const float* plane, std::uint16_t* rgba) const;

    std::filesystem::path file_;
    Stamp stamp_;
    QXRAWMetadata metadata_{};
    std::unique_ptr<QXRAWSensor, CloseSensor> sensor_;
    SensorNoiseProfile noise_;
    TemperatureTint neutral_;
    ImageProperties properties_;
    float baselineExposure_ = 0.0f;
    mutable std::mutex sensorLock_;
};

}  // namespace quillmere
