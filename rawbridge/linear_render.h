#pragma once

#include <libraw/libraw.h>

#include <array>
#include <cstdint>

#include "rawbridge/bridge_call.h"
#include "rawbridge/qx_raw.h"

namespace quillmere::rawbridge {

// Fails with "RAW geometry changed since decoding." unless the caller's record describes the
// same sensor layout as the file's: sizes, packed sizes, crop, orientation, output size and CFA
// positions. The write-back addresses LibRaw's sensor plane with them.
void requireSameGeometry(const QXRAWMetadata& file, const QXRAWMetadata& caller);

// White-balance multipliers of R, G1, B, G2 (colour indices `colours`), as
// whiteBalanceMultiplier gives them.
std::array<float, 4> whiteBalanceMultipliers(const libraw_colordata_t& color,
                                             const int colours[4]);

// Pulls a colour whose channels pass the white level towards the spread its clipped values have,
// keeping its mean: fully once the middle channel reaches 1, not at all up to 0.5. Colours with a
// channel at or below 0, or none above 1, pass unchanged.
void treatHighlights(std::array<float, 3>& rgb);

// The position in the demosaiced (visible) image that output pixel (ox, oy) of the cropped and
// oriented image shows, oy counted from the top.
struct ImagePosition {
    int column;
    int row;
};
ImagePosition sourcePosition(const QXRAWMetadata& metadata, int ox, int oy);

// Writes the caller's packed plane into the freshly unpacked `raw`, demosaics it without scaling
// or colour conversion and returns output_width × output_height half-float RGBA pixels, rows
// bottom first.
MallocBuffer<std::uint16_t> renderLinear(LibRaw& raw, const QXRAWMetadata& caller,
                                         const float* packed);

}  // namespace quillmere::rawbridge
