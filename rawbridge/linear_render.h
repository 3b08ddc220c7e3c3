#pragma once

#include <libraw/libraw.h>

#include <algorithm>
#include <array>
#include <cmath>
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
// channel at or below 0, or none above 1, pass unchanged. Everything is worked out and the
// result selected, so that loops over pixels vectorise.
inline void treatHighlights(std::array<float, 3>& rgb) {
    // The smallest and the largest channel, compared as std::minmax compares three values,
    // written as selections.
    const bool secondBelowFirst = rgb[1] < rgb[0];
    float lowest = secondBelowFirst ? rgb[1] : rgb[0];
    float highest = secondBelowFirst ? rgb[0] : rgb[1];
    const bool thirdLowest = rgb[2] < lowest, thirdNotBelowHighest = !(rgb[2] < highest);
    highest = !thirdLowest & thirdNotBelowHighest ? rgb[2] : highest;
    lowest = thirdLowest ? rgb[2] : lowest;
    const bool treated = (lowest > 0.0f) & (highest > 1.0f);
    // Sums of three, written out (a loop of three would keep the loops over pixels scalar).
    const auto spreadOf = [](float r, float g, float b, float mean) {
        return (r - mean) * (r - mean) + (g - mean) * (g - mean) + (b - mean) * (b - mean);
    };
    const float mean = (rgb[0] + rgb[1] + rgb[2]) / 3.0f;
    const float spread = spreadOf(rgb[0], rgb[1], rgb[2], mean);
    const float middle = rgb[0] + rgb[1] + rgb[2] - lowest - highest;
    const float t = std::clamp(2.0f * (middle - 0.5f), 0.0f, 1.0f);
    const float r = std::min(rgb[0], 1.0f), g = std::min(rgb[1], 1.0f), b = std::min(rgb[2], 1.0f);
    const float clippedMean = (r + g + b) / 3.0f;
    const float clippedSpread = spreadOf(r, g, b, clippedMean);
    const float shrunk = std::sqrt(std::min(clippedSpread / spread, 1.0f)) - 1.0f;
    const float q = spread > 1e-12f ? shrunk : 0.0f;
    const float k = 1.0f + t * t * (3.0f - 2.0f * t) * q;
    rgb[0] = treated ? mean + k * (rgb[0] - mean) : rgb[0];
    rgb[1] = treated ? mean + k * (rgb[1] - mean) : rgb[1];
    rgb[2] = treated ? mean + k * (rgb[2] - mean) : rgb[2];
}

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
