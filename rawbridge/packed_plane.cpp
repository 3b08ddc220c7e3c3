#include "rawbridge/packed_plane.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "rawbridge/bridge_call.h"
#include "rawbridge/sensor_metadata.h"

namespace quillmere::rawbridge {
namespace {

// fmaxf and fminf drop a NaN operand, so a NaN lands on the lower bound.
float clampUnit(float value) { return std::fmin(std::fmax(value, 0.0f), 1.0f); }

// LibRaw's 16-bit sensor plane addressed by visible position; checkSensorGeometry has made sure
// that every visible position lies inside it.
class SensorSamples {
public:
    explicit SensorSamples(LibRaw& raw)
        : samples_(raw.imgdata.rawdata.raw_image),
          pitch_(raw.imgdata.sizes.raw_pitch != 0 ? raw.imgdata.sizes.raw_pitch / 2
                                                  : raw.imgdata.sizes.raw_width),
          top_(raw.imgdata.sizes.top_margin),
          left_(raw.imgdata.sizes.left_margin) {}

    std::uint16_t& at(int row, int col) const {
        return samples_[(static_cast<std::size_t>(row) + top_) * pitch_ +
                        static_cast<std::size_t>(col) + left_];
    }

private:
    std::uint16_t* samples_;
    std::size_t pitch_;
    std::size_t top_;
    std::size_t left_;
};

// Calls visit(channel, row, col, element index) for every sample the plane covers, in the order
// quad row, quad, channel R, G1, B, G2.
template <typename Visit>
void forEachPackedSample(const QXRAWMetadata& metadata, Visit&& visit) {
    std::size_t element = 0;
    for (int y = 0; y < metadata.packed_height; ++y) {
        for (int x = 0; x < metadata.packed_width; ++x) {
            for (int channel = 0; channel < 4; ++channel, ++element) {
                visit(channel, 2 * y + metadata.cfa_y[channel], 2 * x + metadata.cfa_x[channel],
                      element);
            }
        }
    }
}

}  // namespace

void readPackedPlane(LibRaw& raw, const QXRAWMetadata& metadata, float* plane) {
    const SensorSamples samples(raw);
    const BlackLevelMap blackLevels(raw.imgdata.color);
    int colours[4];
    channelColours(raw, metadata, colours);
    forEachPackedSample(metadata, [&](int channel, int row, int col, std::size_t element) {
        const float black = blackLevels.at(colours[channel], row, col);
        const float value = static_cast<float>(samples.at(row, col));
        plane[element] = clampUnit((value - black) / (metadata.white[channel] - black));
    });
}

void writePackedPlane(LibRaw& raw, const QXRAWMetadata& metadata, const float* plane) {
    const SensorSamples samples(raw);
    const BlackLevelMap blackLevels(raw.imgdata.color);
    int colours[4];
    channelColours(raw, metadata, colours);
    forEachPackedSample(metadata, [&](int channel, int row, int col, std::size_t element) {
        const float value = plane[element];
        if (!std::isfinite(value)) fail("The neural model returned a non-finite sensor value.");
        const float black = blackLevels.at(colours[channel], row, col);
        const float count =
            std::round(std::fma(clampUnit(value), metadata.white[channel] - black, black));
        samples.at(row, col) = static_cast<std::uint16_t>(std::fmin(std::fmax(count, 0.0f), 65535.0f));
    });
}

}  // namespace quillmere::rawbridge
