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

// How the demosaiced camera colour of a file becomes linear RGB: the white-balance scale of
// camera R, G and B (normalising by the black and white levels too) and the camera-to-RGB
// matrix.
struct DevelopmentColour {
    std::array<float, 3> scales;
    float cameraToRGB[3][3];
};

// The development colour of a freshly unpacked `raw` (LibRaw's processing changes what it
// reads) whose record is `caller`.
DevelopmentColour developmentColour(LibRaw& raw, const QXRAWMetadata& caller);

// Demosaics the unpacked sensor of `raw` without scaling or colour conversion into LibRaw's
// image, and checks that the crop of `caller` lies inside it. Fails with "Linear RAW demosaicing:
// ..." or "Unexpected LibRaw camera RGB geometry.".
void demosaic(LibRaw& raw, const QXRAWMetadata& caller);

// Converts the demosaiced image of `raw` into `rgba`, output_width × output_height half-float
// RGBA pixels with the bottom row first: white balance, highlight treatment, camera-to-RGB,
// crop and orientation. Rows are converted in parallel.
void convertDemosaiced(const LibRaw& raw, const QXRAWMetadata& caller,
                       const DevelopmentColour& colour, std::uint16_t* rgba);

// Writes the caller's packed plane into the freshly unpacked `raw`, demosaics it without scaling
// or colour conversion and returns output_width × output_height half-float RGBA pixels, rows
// bottom first.
MallocBuffer<std::uint16_t> renderLinear(LibRaw& raw, const QXRAWMetadata& caller,
                                         const float* packed);

}  // namespace quillmere::rawbridge
