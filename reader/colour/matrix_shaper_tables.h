#pragma once

#include <lcms2.h>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "reader/raster/sample_row.h"

namespace quillmere {

// A matrix-shaper profile's conversion into linear sRGB, as tables. Such a profile (RGB with
// colorants and a curve per channel, or grey with one curve) takes each channel through its curve
// and then through a 3 × 3 matrix, plus an offset where black-point compensation moves black: an
// affine map of the curves' values. A decoder's samples have at most 2^16 codes per channel, so
// each channel's table holds, for every code, its curve's value times its column of the matrix,
// and a pixel costs a lookup in each table and their sum, where LittleCMS's floating-point
// transform evaluates every curve (a power) for every pixel.
//
// LittleCMS stays the authority: the curves are the profile's own, evaluated by LittleCMS at
// every code, and the matrix and offset are read off its transform.
class MatrixShaperTables {
  public:
    // The tables for `transform`, LittleCMS's floating-point transform from `profile`'s pixels
    // (`channels` 3 for RGB or 1 for grey, values 0 to 1) into linear sRGB, for the codes 0 to
    // `maxCode` (1 to 65535). Nothing when LittleCMS would not convert through the profile's
    // matrix and curves, or when the tables miss its transform by more than a rounding error on
    // any colour of a spread that holds the extremes.
    static std::optional<MatrixShaperTables> build(cmsHPROFILE profile, cmsHTRANSFORM transform,
                                                   int channels, std::uint32_t maxCode);

    // Converts `pixelCount` pixels into four floats each: linear red, green, blue and alpha 1. A
    // code above maxCode counts as maxCode.
    void convert(const SampleRow<std::uint8_t>& row, float* linearRgba,
                 std::uint32_t pixelCount) const;
    void convert(const SampleRow<std::uint16_t>& row, float* linearRgba,
                 std::uint32_t pixelCount) const;

  private:
    using Entry = std::array<float, 4>;

    MatrixShaperTables(int channels, std::uint32_t maxCode);

    template <class Sample>
    void convertRow(const SampleRow<Sample>& row, float* linearRgba,
                    std::uint32_t pixelCount) const;

    int channels_;
    std::uint32_t maxCode_;
    // Channel c's table starts at entry c × (maxCode_ + 1). The first channel's entries also
    // hold the offset and alpha 1, the others alpha 0, so that the sum is the pixel.
    std::vector<Entry> entries_;
};

}  // namespace quillmere
