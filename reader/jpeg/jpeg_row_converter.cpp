#include "reader/jpeg/jpeg_row_converter.h"

#include <vector>

namespace quillmere {
namespace {

// The largest product of two bytes.
constexpr std::uint32_t kPlainInkMaxCode = 255 * 255;

}  // namespace

J_COLOR_SPACE outputSpaceFor(J_COLOR_SPACE stored) {
    switch (stored) {
        case JCS_GRAYSCALE:
            return JCS_GRAYSCALE;
        case JCS_CMYK:
        case JCS_YCCK:
            return JCS_CMYK;
        default:
            return JCS_RGB;
    }
}

int componentsOf(J_COLOR_SPACE space) {
    return space == JCS_GRAYSCALE ? 1 : space == JCS_CMYK ? 4 : 3;
}

JpegRowConverter::JpegRowConverter(J_COLOR_SPACE outputSpace, bool invertedCmyk,
                                   const std::string& iccProfile, int width)
    : outputSpace_(outputSpace),
      width_(static_cast<std::uint32_t>(width)),
      invertedCmyk_(invertedCmyk) {
    using Input = LinearSrgbTransform::Input;
    const Input input = outputSpace == JCS_GRAYSCALE ? Input::gray
                        : outputSpace == JCS_CMYK
                            ? (invertedCmyk ? Input::invertedCmyk : Input::cmyk)
                            : Input::rgb;
    transform_ = LinearSrgbTransform::fromIccProfile(iccProfile, input);
    if (!transform_) {
        // Without a usable profile the samples are taken as sRGB, as every viewer does; plain
        // inks are products of two bytes' complements, codes up to 255².
        plainInks_ = outputSpace == JCS_CMYK;
        transform_ = LinearSrgbTransform::fromColorSpace(srgbPrimaries, TransferCurve::sRGB,
                                                         plainInks_ ? kPlainInkMaxCode : 255);
    }
}

void JpegRowConverter::convert(const JSAMPLE* samples, float* linearRgba) const {
    if (plainInks_) {
        // What paper shows through each ink, darkened by black: the complement of an ink as
        // stored, or the stored value where inks are stored inverted.
        std::vector<std::uint16_t> paper(std::size_t{width_} * 3);
        for (std::size_t x = 0; x < width_; ++x) {
            const JSAMPLE* cmyk = samples + 4 * x;
            const auto clear = [&](int channel) {
                return static_cast<unsigned>(invertedCmyk_ ? cmyk[channel] : 255 - cmyk[channel]);
            };
            for (int channel = 0; channel < 3; ++channel) {
                paper[3 * x + channel] = static_cast<std::uint16_t>(clear(channel) * clear(3));
            }
        }
        const std::uint16_t* rgb = paper.data();
        transform_->convert(SampleRow<std::uint16_t>{{rgb, rgb + 1, rgb + 2}, 3}, linearRgba, width_);
        return;
    }
    switch (outputSpace_) {
        case JCS_CMYK:
            return transform_->convert(
                SampleRow<JSAMPLE>{{samples, samples + 1, samples + 2, samples + 3}, 4},
                linearRgba, width_);
        case JCS_GRAYSCALE:
            // A grey profile converts one channel; sRGB takes grey as three equal ones.
            return transform_->convert(SampleRow<JSAMPLE>{{samples, samples, samples}, 1},
                                       linearRgba, width_);
        default:
            return transform_->convert(SampleRow<JSAMPLE>{{samples, samples + 1, samples + 2}, 3},
                                       linearRgba, width_);
    }
}

}  // namespace quillmere
