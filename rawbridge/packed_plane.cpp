#include "rawbridge/packed_plane.h"

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "rawbridge/bridge_call.h"
#include "rawbridge/sensor_metadata.h"

namespace quillmere::rawbridge {
namespace {

// A NaN fails both comparisons and lands on 0. (Written with comparisons rather than fmaxf and
// fminf, which the compiler leaves as library calls in this, the bridge's hottest loop.)
float clampUnit(float value) {
    value = value > 0.0f ? value : 0.0f;
    return value < 1.0f ? value : 1.0f;
}

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

// Quad rows per task: enough work to outweigh the scheduling.
constexpr int kQuadRowsPerTask = 8;

// Calls visit(sample, black level, channel, element index) for every sample that quad rows
// first ..< first + count of the plane cover: the sample in LibRaw's sensor plane, its own black
// level, its channel and its index counted from the first row's first element. Quad rows run in
// parallel; every sample is visited once, by one task, so the results do not depend on the
// order. A visit that throws ends the walk with its exception, some rows possibly visited and
// others not.
template <typename Visit>
void forEachPackedSample(LibRaw& raw, const QXRAWMetadata& metadata, int first, int count,
                         const Visit& visit) {
    const SensorSamples samples(raw);
    const BlackLevelMap blackLevels(raw.imgdata.color);
    int colours[4];
    channelColours(raw, metadata, colours);
    const std::size_t rowElements = static_cast<std::size_t>(metadata.packed_width) * 4;
    const auto visitRows = [&](const tbb::blocked_range<int>& rows) {
        for (int y = rows.begin(); y != rows.end(); ++y) {
            for (int channel = 0; channel < 4; ++channel) {
                const int row = 2 * y + metadata.cfa_y[channel];
                std::uint16_t* sample = &samples.at(row, metadata.cfa_x[channel]);
                BlackLevelMap::RowWalk black =
                    blackLevels.walkRow(colours[channel], row, metadata.cfa_x[channel]);
                std::size_t element = static_cast<std::size_t>(y - first) * rowElements +
                                      static_cast<std::size_t>(channel);
                for (int x = 0; x < metadata.packed_width; ++x, sample += 2, element += 4) {
                    visit(*sample, black.next(), channel, element);
                }
            }
        }
    };
    tbb::parallel_for(tbb::blocked_range<int>(first, first + count, kQuadRowsPerTask), visitRows);
}

// The same for every sample of the plane.
template <typename Visit>
void forEachPackedSample(LibRaw& raw, const QXRAWMetadata& metadata, const Visit& visit) {
    forEachPackedSample(raw, metadata, 0, metadata.packed_height, visit);
}

// The normalised value of a raw count: the read's arithmetic.
float normalisedSample(std::uint16_t sample, float black, float white) {
    return clampUnit((static_cast<float>(sample) - black) / (white - black));
}

// The raw count of a normalised value: the write-back's arithmetic. `value` must be finite.
std::uint16_t rawCount(float value, float black, float white) {
    const float count = std::round(std::fma(clampUnit(value), white - black, black));
    return static_cast<std::uint16_t>(std::fmin(std::fmax(count, 0.0f), 65535.0f));
}

}  // namespace

PackedPlaneReader::PackedPlaneReader(LibRaw& raw, const QXRAWMetadata& metadata)
    : raw_(raw), metadata_(metadata), blackLevels_(raw.imgdata.color) {
    channelColours(raw, metadata, colours_);
}

float PackedPlaneReader::at(int x, int y, int channel) const {
    const int row = 2 * y + metadata_.cfa_y[channel];
    const int col = 2 * x + metadata_.cfa_x[channel];
    return normalisedSample(SensorSamples(raw_).at(row, col),
                            blackLevels_.at(colours_[channel], row, col), metadata_.white[channel]);
}

void readPackedRows(LibRaw& raw, const QXRAWMetadata& metadata, int first, int count, float* rows) {
    forEachPackedSample(raw, metadata, first, count,
                        [&](std::uint16_t sample, float black, int channel, std::size_t element) {
                            rows[element] =
                                normalisedSample(sample, black, metadata.white[channel]);
                        });
}

void readPackedPlane(LibRaw& raw, const QXRAWMetadata& metadata, float* plane) {
    readPackedRows(raw, metadata, 0, metadata.packed_height, plane);
}

void writePackedPlane(LibRaw& raw, const QXRAWMetadata& metadata, const float* plane) {
    forEachPackedSample(raw, metadata,
                        [&](std::uint16_t& sample, float black, int channel, std::size_t element) {
                            const float value = plane[element];
                            if (!std::isfinite(value)) {
                                fail("The neural model returned a non-finite sensor value.");
                            }
                            sample = rawCount(value, black, metadata.white[channel]);
                        });
}

void settlePackedSamples(LibRaw& raw, const QXRAWMetadata& metadata) {
    forEachPackedSample(raw, metadata,
                        [&](std::uint16_t& sample, float black, int channel, std::size_t) {
                            const float white = metadata.white[channel];
                            sample = rawCount(normalisedSample(sample, black, white), black, white);
                        });
}

}  // namespace quillmere::rawbridge
