#include "core/imageio/linear_image_assembler.h"

#include <algorithm>
#include <new>

#include "core/imageio/imageio_error.h"

namespace quillmere {
namespace {

bool swapsAxes(int orientation) { return orientation >= 5 && orientation <= 8; }

// Stored rows gathered before they are written out as columns: 64 RGBA pixels make 1 KiB of each
// upright row, so four bands fill one page of it.
constexpr int kBandRows = 64;

void writePixel(float* pixel, const float* rgb) {
    pixel[0] = rgb[0];
    pixel[1] = rgb[1];
    pixel[2] = rgb[2];
    pixel[3] = 1.0f;
}

}  // namespace

void LinearImageAssembler::checkSize(std::int64_t width, std::int64_t height) {
    if (width <= 0 || height <= 0) {
        throw ImageIOError(ImageIOError::Code::corruptImage, "The image has no pixels.");
    }
    // Both factors are positive, so the division cannot overflow where a product could.
    if (width > LinearImage::maxPixelCount / height) {
        throw ImageIOError(ImageIOError::Code::imageTooLarge);
    }
}

LinearImageAssembler::LinearImageAssembler(std::int64_t storedWidth, std::int64_t storedHeight,
                                           int orientation)
    : orientation_(orientation >= 1 && orientation <= 8 ? orientation : 1) {
    checkSize(storedWidth, storedHeight);
    storedWidth_ = static_cast<int>(storedWidth);
    storedHeight_ = static_cast<int>(storedHeight);
    image_.width = swapsAxes(orientation_) ? storedHeight_ : storedWidth_;
    image_.height = swapsAxes(orientation_) ? storedWidth_ : storedHeight_;
    try {
        image_.rgba.resize(static_cast<std::size_t>(storedWidth * storedHeight) * 4);
        if (swapsAxes(orientation_)) {
            band_.resize(static_cast<std::size_t>(storedWidth_) * 3 *
                         static_cast<std::size_t>(std::min(kBandRows, storedHeight_)));
        }
    } catch (const std::bad_alloc&) {
        throw ImageIOError(ImageIOError::Code::outOfMemory);
    }
}

void LinearImageAssembler::setRow(int y, const float* linearRgb) {
    ++rowsSet_;
    if (!swapsAxes(orientation_)) return placeRow(y, linearRgb);
    if (bandRows_ == 0) bandStart_ = y;
    const std::size_t rowLength = static_cast<std::size_t>(storedWidth_) * 3;
    std::copy(linearRgb, linearRgb + rowLength, band_.data() + bandRows_ * rowLength);
    if (++bandRows_ == kBandRows || y == storedHeight_ - 1) placeBand();
}

// Orientations 1 to 4: the stored row is one upright row, mirrored or not.
void LinearImageAssembler::placeRow(int y, const float* linearRgb) {
    const bool mirrored = orientation_ == 2 || orientation_ == 3;
    const bool upsideDown = orientation_ == 3 || orientation_ == 4;
    const int rowFromTop = upsideDown ? storedHeight_ - 1 - y : y;
    const std::size_t bottomUpRow = static_cast<std::size_t>(image_.height - 1 - rowFromTop);
    float* row = image_.rgba.data() + bottomUpRow * static_cast<std::size_t>(image_.width) * 4;
    for (int x = 0; x < storedWidth_; ++x) {
        const int column = mirrored ? storedWidth_ - 1 - x : x;
        writePixel(row + static_cast<std::size_t>(column) * 4, linearRgb + 3 * x);
    }
}

// Orientations 5 to 8: stored column x is one upright row, and the band's stored rows are
// neighbouring columns of it.
void LinearImageAssembler::placeBand() {
    const int lastX = storedWidth_ - 1;
    const int lastY = storedHeight_ - 1;
    // Upright rows count from the top: orientations 5 and 6 keep stored column x as row x.
    const bool rowsReversed = orientation_ == 7 || orientation_ == 8;
    // Orientations 6 and 7 put the stored top row at the right.
    const bool columnsReversed = orientation_ == 6 || orientation_ == 7;
    const std::size_t bandRowLength = static_cast<std::size_t>(storedWidth_) * 3;
    for (int x = 0; x < storedWidth_; ++x) {
        const int rowFromTop = rowsReversed ? lastX - x : x;
        float* row = image_.rgba.data() + static_cast<std::size_t>(image_.height - 1 - rowFromTop) *
                                              static_cast<std::size_t>(image_.width) * 4;
        for (int index = 0; index < bandRows_; ++index) {
            const int y = bandStart_ + index;
            const int column = columnsReversed ? lastY - y : y;
            writePixel(row + static_cast<std::size_t>(column) * 4,
                       band_.data() + index * bandRowLength + static_cast<std::size_t>(x) * 3);
        }
    }
    bandRows_ = 0;
}

LinearImage LinearImageAssembler::take() && {
    if (rowsSet_ != storedHeight_) {
        throw ImageIOError(ImageIOError::Code::corruptImage, "Its image data ends before the image does.");
    }
    return std::move(image_);
}

}  // namespace quillmere
