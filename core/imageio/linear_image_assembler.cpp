#include "core/imageio/linear_image_assembler.h"

#include <new>

#include "core/imageio/imageio_error.h"

namespace quillmere {
namespace {

bool swapsAxes(int orientation) { return orientation >= 5 && orientation <= 8; }

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
        image_.rgba.assign(static_cast<std::size_t>(storedWidth * storedHeight) * 4, 1.0f);
    } catch (const std::bad_alloc&) {
        throw ImageIOError(ImageIOError::Code::outOfMemory);
    }
}

void LinearImageAssembler::setRow(int y, const float* linearRgb) {
    const int lastX = storedWidth_ - 1;
    const int lastY = storedHeight_ - 1;
    for (int x = 0; x < storedWidth_; ++x) {
        // (column, row) of the stored pixel in the upright image, rows counted from the top.
        int column = x;
        int row = y;
        switch (orientation_) {
            case 2: column = lastX - x; break;
            case 3: column = lastX - x; row = lastY - y; break;
            case 4: row = lastY - y; break;
            case 5: column = y; row = x; break;
            case 6: column = lastY - y; row = x; break;
            case 7: column = lastY - y; row = lastX - x; break;
            case 8: column = y; row = lastX - x; break;
            default: break;
        }
        const std::size_t bottomUpRow = static_cast<std::size_t>(image_.height - 1 - row);
        float* pixel = image_.rgba.data() +
                       (bottomUpRow * static_cast<std::size_t>(image_.width) +
                        static_cast<std::size_t>(column)) * 4;
        pixel[0] = linearRgb[3 * x];
        pixel[1] = linearRgb[3 * x + 1];
        pixel[2] = linearRgb[3 * x + 2];
    }
}

LinearImage LinearImageAssembler::take() && { return std::move(image_); }

}  // namespace quillmere
