#pragma once

#include <libraw/libraw.h>

#include "rawbridge/qx_raw.h"

namespace quillmere::rawbridge {

// Channel positions in every per-channel array.
enum Channel { kRed = 0, kGreen1 = 1, kBlue = 2, kGreen2 = 3 };

// The black level of every sensor sample: LibRaw's common level plus the level of the sample's
// colour, plus the entry of LibRaw's repeating black-level pattern at the sample's position when
// that pattern fits LibRaw's table.
class BlackLevelMap {
public:
    // The levels of the samples of one colour in one row at columns col, col + 2, col + 4, ...
    // in turn, found without dividing (the sensor-plane loops step through rows this way).
    class RowWalk {
    public:
        float next() {
            if (entries_ == nullptr) return base_;
            const float level = base_ + static_cast<float>(entries_[column_]);
            column_ += 2;
            while (column_ >= columns_) column_ -= columns_;
            return level;
        }

    private:
        friend class BlackLevelMap;
        float base_ = 0.0f;
        const unsigned* entries_ = nullptr;  // the pattern's row, or none
        unsigned column_ = 0;
        unsigned columns_ = 0;
    };

    explicit BlackLevelMap(const libraw_colordata_t& color);

    // The level of the sample of colour index `colour` (0 to 3) at visible position (row, col).
    float at(int colour, int row, int col) const {
        float level = base_[colour];
        if (patternRows_ != 0) {
            level += static_cast<float>(
                pattern_[(static_cast<unsigned>(row) % patternRows_) * patternColumns_ +
                         static_cast<unsigned>(col) % patternColumns_]);
        }
        return level;
    }

    RowWalk walkRow(int colour, int row, int col) const;

private:
    float base_[4];
    const unsigned* pattern_ = nullptr;
    unsigned patternRows_ = 0;
    unsigned patternColumns_ = 0;
};

// LibRaw keeps some cameras' flip in degrees; its own processing turns those into flip codes the
// same way (4 transpose, 2 mirror rows, 1 mirror columns).
int flipCode(int flip);

// LibRaw's multiplier of colour index `colour` in `multipliers` (cam_mul or pre_mul). A
// three-colour camera leaves the second green's entry at 0, meaning "the same as the first green".
float colourMultiplier(const float multipliers[4], int colour);

// The white-balance multiplier that development applies to colour index `colour`: the camera's
// as-shot multiplier, else LibRaw's daylight one, else 1.
float whiteBalanceMultiplier(const libraw_colordata_t& color, int colour);

// The colour index of each channel R, G1, B, G2 at its position in the record's quad.
void channelColours(LibRaw& raw, const QXRAWMetadata& metadata, int colours[4]);

// The geometry of the record of an opened instance: visible and packed size, orientation,
// default crop, output size and ISO, every other field 0. Unlike the black levels, which LibRaw
// may measure from the sensor's masked pixels while it unpacks, none of it comes from sensor data,
// so it can be read from a file without image data. Fails with "RAW sensor is too small.".
QXRAWMetadata sensorGeometry(const LibRaw& raw);

// The record of an unpacked three-colour Bayer instance, every field but the noise fields (0).
// Only an instance the bridge's unpack() made has sensor data to measure: LibRaw unpacks a file
// without image data "successfully" into memory it never wrote. Fails as sensorGeometry, with
// "Unsupported CFA layout." or with "Invalid RAW black/white calibration.".
QXRAWMetadata metadataFor(LibRaw& raw);

}  // namespace quillmere::rawbridge
