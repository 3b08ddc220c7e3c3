#pragma once

#include <cstdint>

#include "core/imageio/linear_image.h"

namespace quillmere {

// Builds a LinearImage from the decoder's rows as stored in the file (top row first, unrotated):
// each row lands where the EXIF orientation puts it in the upright, bottom-row-first image, so
// orientation and row order cost no second copy of the pixels.
class LinearImageAssembler {
public:
    // Checks the size and allocates the image. Throws ImageIOError: corruptImage for an empty
    // size, imageTooLarge beyond LinearImage::maxPixelCount, outOfMemory when allocation fails.
    // An orientation outside 1 to 8 counts as 1.
    LinearImageAssembler(std::int64_t storedWidth, std::int64_t storedHeight, int orientation);

    // Places stored row `y` (0 is the top row in the file): `storedWidth` pixels of three
    // linear floats each.
    void setRow(int y, const float* linearRgb);

    LinearImage take() &&;

    // Throws the same errors as the constructor for a size the decoders must not allocate.
    static void checkSize(std::int64_t width, std::int64_t height);

private:
    int storedWidth_;
    int storedHeight_;
    int orientation_;
    LinearImage image_;
};

}  // namespace quillmere
