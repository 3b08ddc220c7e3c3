#pragma once

#include <array>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "core/imageio/linear_srgb_transform.h"

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

    // One row of samples into three linear floats a pixel.
    void convert(const JSAMPLE* samples, float* linearRgb);

private:
    J_COLOR_SPACE outputSpace_;
    std::size_t width_;
    bool invertedCmyk_ = false;
    std::optional<LinearSrgbTransform> profileTransform_;
    std::optional<LinearSrgbTransform> srgbTransform_;
    std::array<float, 256> unitScale_{};
    std::vector<float> encodedRgb_;
};

}  // namespace quillmere
