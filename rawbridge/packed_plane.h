#pragma once

#include <libraw/libraw.h>

#include "rawbridge/qx_raw.h"

namespace quillmere::rawbridge {

// Fills `plane` (packed_width × packed_height elements of R, G1, B, G2) from the unpacked sensor
// of `raw`: every sample minus its own black level, divided by its channel's white level minus
// that black level, clamped to 0...1 (a sample whose black reaches the white level gives 0, not
// a NaN). `metadata` must be the record of `raw`.
void readPackedPlane(LibRaw& raw, const QXRAWMetadata& metadata, float* plane);

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
