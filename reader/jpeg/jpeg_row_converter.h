#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include <jpeglib.h>

#include "reader/colour/linear_srgb_transform.h"

namespace quillmere {

// The colour space libjpeg is asked to hand over for a JPEG stored in `stored`: grey stays grey,
// CMYK and YCCK come as CMYK, everything else as RGB.
J_COLOR_SPACE outputSpaceFor(J_COLOR_SPACE stored);
// The samples per pixel libjpeg hands over in `space`.
int componentsOf(J_COLOR_SPACE space);

// What libjpeg hands over for each kind of JPEG, and how those samples become linear sRGB:
// through the embedded ICC profile, or taken as sRGB (and CMYK as plain inks) without one.
class JpegRowConverter {
public:
    // Rows of `width` pixels in `outputSpace` (from outputSpaceFor); `invertedCmyk` when the
    // file's Adobe marker says its CMYK is stored inverted.
    JpegRowConverter(J_COLOR_SPACE outputSpace, bool invertedCmyk, const std::string& iccProfile,
                     int width);

    // One row of samples into four linear floats a pixel (alpha 1). Safe on several threads at
    // once.
    void convert(const JSAMPLE* samples, float* linearRgba) const;

private:
    J_COLOR_SPACE outputSpace_;
    std::uint32_t width_;
    bool invertedCmyk_ = false;
    // CMYK without a profile: the plain complement of each ink, darkened by black.
    bool plainInks_ = false;
    std::optional<LinearSrgbTransform> transform_;
};

}  // namespace quillmere
