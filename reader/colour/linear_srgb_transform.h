#pragma once

#include <lcms2.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <type_traits>

#include "core/imageio/color_profiles.h"
#include "reader/colour/matrix_shaper_tables.h"
#include "reader/raster/sample_row.h"

namespace quillmere {

// Converts decoded pixels from their colour space into extended linear sRGB (sRGB primaries and
// white, linear light) as 32-bit floats. RGB and grey input is converted as LittleCMS's
// floating-point transform converts it, without clipping, so a wide-gamut colour outside sRGB
// keeps its negative or above-one components instead of being flattened onto the sRGB gamut.
//
// A matrix-shaper profile (sRGB, Display P3, Adobe RGB, most camera and phone profiles, every
// colour space named by primaries and a curve) converts through tables of its curves and matrix
// (MatrixShaperTables); any other (lookup tables, CMYK) through LittleCMS pixel by pixel.
// Converting is safe on several threads at once.
class LinearSrgbTransform {
  public:
    // What the samples are: RGB, grey, or CMYK as stored or inverted (Adobe's CMYK JPEGs store
    // 255 for no ink). CMYK samples are bytes (codes 0 to 255).
    enum class Input { rgb, gray, cmyk, invertedCmyk };

    // For samples from 0 to `maxCode` (255 for bytes; 2^bits - 1 for deeper samples) described
    // by an embedded ICC profile; nothing when the profile does not parse or does not describe
    // pixels of this kind (the caller then assumes sRGB).
    static std::optional<LinearSrgbTransform> fromIccProfile(std::string_view profile, Input input,
                                                             std::uint32_t maxCode = 255);
    // For RGB samples from 0 to `maxCode` in the colour space with these primaries and curve.
    // Throws ImageIOError (corruptImage) when no transform can be built for them.
    static LinearSrgbTransform fromColorSpace(const RgbPrimaries& primaries, TransferCurve curve,
                                              std::uint32_t maxCode = 255);

    // Converts `pixelCount` pixels of `row` into four floats each: linear red, green, blue and
    // alpha 1. Byte rows take codes up to 255, 16-bit rows up to 65535; a code above maxCode
    // counts as maxCode.
    void convert(const SampleRow<std::uint8_t>& row, float* linearRgba,
                 std::uint32_t pixelCount) const;
    void convert(const SampleRow<std::uint16_t>& row, float* linearRgba,
                 std::uint32_t pixelCount) const;

  private:
    struct TransformDeleter {
        void operator()(cmsHTRANSFORM transform) const { cmsDeleteTransform(transform); }
    };
    using Handle = std::unique_ptr<std::remove_pointer_t<cmsHTRANSFORM>, TransformDeleter>;

    LinearSrgbTransform(cmsHPROFILE source, Input input, std::uint32_t maxCode, Handle handle);

    template <class Sample>
    void convertRow(const SampleRow<Sample>& row, float* linearRgba,
                    std::uint32_t pixelCount) const;

    Input input_;
    std::uint32_t maxCode_;
    Handle handle_;
    std::optional<MatrixShaperTables> tables_;
};

}  // namespace quillmere
