#pragma once

#include <libraw/libraw.h>

#include "rawbridge/qx_raw.h"
#include "rawbridge/sensor_metadata.h"

namespace quillmere::rawbridge {

// Fills `plane` (packed_width × packed_height elements of R, G1, B, G2) from the unpacked sensor
// of `raw`: every sample minus its own black level, divided by its channel's white level minus
// that black level, clamped to 0...1 (a sample whose black reaches the white level gives 0, not
// a NaN). `metadata` must be the record of `raw`.
void readPackedPlane(LibRaw& raw, const QXRAWMetadata& metadata, float* plane);
// The same for quad rows first ..< first + count only, into `rows` (count × packed_width
// elements).
void readPackedRows(LibRaw& raw, const QXRAWMetadata& metadata, int first, int count,
                    float* rows);

// The value the packed plane of `raw` holds at element (x, y), channel `channel` (as
// readPackedPlane gives it), worked out from the sensor alone: for reading a few elements without
// making the whole plane. `metadata` must be the record of `raw`; both must outlive the reader.
class PackedPlaneReader {
  public:
    PackedPlaneReader(LibRaw& raw, const QXRAWMetadata& metadata);
    float at(int x, int y, int channel) const;

  private:
    LibRaw& raw_;
    const QXRAWMetadata& metadata_;
    BlackLevelMap blackLevels_;
    int colours_[4];
};

// Writes `plane` back into the sensor of `raw`, sample by sample the inverse of the read, with
// values clamped to 0...1 and results limited to 16 bits. Fails with "The neural model returned a
// non-finite sensor value." at the first infinite or NaN value. `metadata` must match `raw`.
void writePackedPlane(LibRaw& raw, const QXRAWMetadata& metadata, const float* plane);

// Gives every sample the plane covers the value that writing back its own read gives it (counts
// outside the black-to-white range are limited to it), so that developing `raw` as it stands is
// developing its own plane written back. Reading the plane afterwards gives the plane read before,
// except where a sample's own black level reaches its white level (a damaged calibration).
void settlePackedSamples(LibRaw& raw, const QXRAWMetadata& metadata);

}  // namespace quillmere::rawbridge
