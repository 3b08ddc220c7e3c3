#pragma once

#include <cstdint>
#include <vector>

#include "core/imageio/linear_image.h"

namespace quillmere {

// Builds a LinearImage from the decoder's rows as stored in the file (top row first, unrotated):
// each row lands where the EXIF orientation puts it in the upright, bottom-row-first image, so
// orientation and row order cost no second copy of the pixels.
//
// Memory grows with the rows that arrive, not with the size the header states: the image is
// reserved but not filled, and a row touches only its own part of it. Under an orientation that
// turns rows into columns a row would touch every page of the image, so such rows are gathered
// in bands and each band is written out at once, a few pixels to each upright row.
class LinearImageAssembler {
public:
    // Checks the size and reserves the image. Throws ImageIOError: corruptImage for an empty
    // size, imageTooLarge beyond LinearImage::maxPixelCount, outOfMemory when allocation fails.
    // An orientation outside 1 to 8 counts as 1.
    LinearImageAssembler(std::int64_t storedWidth, std::int64_t storedHeight, int orientation);

    // Places stored row `y` (0 is the top row in the file): `storedWidth` pixels of three
    // linear floats each. Rows come in order, from 0.
    void setRow(int y, const float* linearRgb);

    // The image, once every row was set; throws ImageIOError (corruptImage) before that, so a
    // decoder that stops early never hands out the unset rest.
    LinearImage take() &&;

    // Throws the same errors as the constructor for a size the decoders must not allocate.
    static void checkSize(std::int64_t width, std::int64_t height);

private:
    void placeRow(int y, const float* linearRgb);
    void placeBand();

    int storedWidth_;
    int storedHeight_;
    int orientation_;
    int rowsSet_ = 0;
    LinearImage image_;
    // Stored rows waiting to become columns (orientations 5 to 8), three floats a pixel.
    std::vector<float> band_;
    int bandStart_ = 0;
    int bandRows_ = 0;
};

}  // namespace quillmere
