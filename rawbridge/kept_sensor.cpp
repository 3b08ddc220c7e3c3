#include "rawbridge/kept_sensor.h"

#include <cstring>
#include <optional>

#include "rawbridge/noise_profile.h"
#include "rawbridge/packed_plane.h"
#include "rawbridge/sensor_metadata.h"

namespace quillmere::rawbridge {
namespace {

// The whole 16-bit sensor plane of an unpacked instance, in samples.
std::uint64_t sensorSampleCount(const LibRaw& raw) {
    const libraw_image_sizes_t& sizes = raw.imgdata.sizes;
    const std::uint64_t pitch = sizes.raw_pitch != 0 ? sizes.raw_pitch / 2 : sizes.raw_width;
    return pitch * sizes.raw_height;
}

// LibRaw's development changes the instance's colour data (black levels folded into the image),
// sizes and colour-filter description (the second green merged into the first), and restores
// them from the copies it took at unpacking when the next development starts. The sensor's own
// reads and writes need them as unpacked, so they restore them the same way first.
void restoreUnpackedState(LibRaw& raw) {
    libraw_data_t& data = raw.imgdata;
    std::memmove(&data.color, &data.rawdata.color, sizeof data.color);
    std::memmove(&data.sizes, &data.rawdata.sizes, sizeof data.sizes);
    std::memmove(&data.idata, &data.rawdata.iparams, sizeof data.idata);
}

// Keeps a copy of the sensor plane and puts it back when it goes, whatever happened meanwhile.
class SensorSnapshot {
  public:
    explicit SensorSnapshot(LibRaw& raw)
        : raw_(raw),
          count_(sensorSampleCount(raw)),
          copy_(allocateBuffer<std::uint16_t>(count_, 1, "Cannot allocate linear RAW texture.")) {
        std::memcpy(copy_.get(), raw_.imgdata.rawdata.raw_image, count_ * sizeof(std::uint16_t));
    }
    ~SensorSnapshot() {
        std::memcpy(raw_.imgdata.rawdata.raw_image, copy_.get(), count_ * sizeof(std::uint16_t));
    }
    SensorSnapshot(const SensorSnapshot&) = delete;
    SensorSnapshot& operator=(const SensorSnapshot&) = delete;

  private:
    LibRaw& raw_;
    std::uint64_t count_;
    MallocBuffer<std::uint16_t> copy_;
};

}  // namespace

QXRAWSensor openSensor(const char* path) {
    QXRAWSensor sensor{unpack(path), {}, {}};
    LibRaw& raw = *sensor.raw;
    sensor.record = metadataFor(raw);
    // The noise fit reads a few thousand patches: they are read from the sensor, and the plane
    // is never made whole.
    const PackedPlaneReader plane(raw, sensor.record);
    estimate(
        [&](int x, int y, int channel, PatchSamples& samples) {
            for (int row = 0; row < kPatchSide; ++row) {
                for (int col = 0; col < kPatchSide; ++col) {
                    samples[static_cast<std::size_t>(row * kPatchSide + col)] =
                        plane.at(x + col, y + row, channel);
                }
            }
        },
        sensor.record.packed_width, sensor.record.packed_height, sensor.record.noise_shot,
        sensor.record.noise_read_variance, sensor.record.noise_samples);
    settlePackedSamples(raw, sensor.record);
    sensor.colour = developmentColour(raw, sensor.record);
    return sensor;
}

void readSensorPlane(QXRAWSensor& sensor, float* plane) {
    restoreUnpackedState(*sensor.raw);
    readPackedPlane(*sensor.raw, sensor.record, plane);
}

void renderSensor(QXRAWSensor& sensor, const float* packed, std::uint16_t* rgba) {
    LibRaw& raw = *sensor.raw;
    // LibRaw's developed image is as large as the output; it goes on every way out.
    struct ReleaseImage {
        LibRaw& raw;
        ~ReleaseImage() { raw.free_image(); }
    } releaseImage{raw};
    restoreUnpackedState(raw);
    {
        std::optional<SensorSnapshot> own;
        if (packed != nullptr) {
            own.emplace(raw);
            writePackedPlane(raw, sensor.record, packed);
        }
        demosaic(raw, sensor.record);
    }
    convertDemosaiced(raw, sensor.record, sensor.colour, rgba);
}

}  // namespace quillmere::rawbridge
