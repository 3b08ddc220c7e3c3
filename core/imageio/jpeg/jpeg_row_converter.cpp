#include "core/imageio/jpeg/jpeg_row_converter.h"

namespace quillmere {

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
    : outputSpace_(outputSpace), width_(static_cast<std::size_t>(width)), invertedCmyk_(invertedCmyk) {
    using Input = LinearSrgbTransform::Input;
    const Input input = outputSpace == JCS_GRAYSCALE ? Input::grayFloat
                        : outputSpace == JCS_CMYK
                            ? (invertedCmyk ? Input::invertedCmykBytes : Input::cmykBytes)
                            : Input::rgbFloat;
    profileTransform_ = LinearSrgbTransform::fromIccProfile(iccProfile, input);
    if (!profileTransform_) {
        // Without a usable profile the samples are taken as sRGB, as every viewer does.
        srgbTransform_ = LinearSrgbTransform::fromColorSpace(srgbPrimaries, TransferCurve::sRGB);
    }
    for (std::size_t value = 0; value < unitScale_.size(); ++value) {
        unitScale_[value] = static_cast<float>(value) / 255.0f;
    }
    encodedRgb_.resize(width_ * 3);
}

void JpegRowConverter::convert(const JSAMPLE* samples, float* linearRgb) {
    const auto count = static_cast<std::uint32_t>(width_);
    if (profileTransform_) {
        if (outputSpace_ == JCS_CMYK) {
            profileTransform_->convert(samples, linearRgb, count);
            return;
        }
        const std::size_t channels = outputSpace_ == JCS_GRAYSCALE ? 1 : 3;
        for (std::size_t index = 0; index < width_ * channels; ++index) {
            encodedRgb_[index] = unitScale_[samples[index]];
        }
        profileTransform_->convert(encodedRgb_.data(), linearRgb, count);
        return;
    }
    for (std::size_t x = 0; x < width_; ++x) {
        float* rgb = &encodedRgb_[3 * x];
        if (outputSpace_ == JCS_GRAYSCALE) {
            rgb[0] = rgb[1] = rgb[2] = unitScale_[samples[x]];
        } else if (outputSpace_ == JCS_CMYK) {
            // No profile says what the inks look like: the plain complement of each ink,
            // darkened by black.
            const JSAMPLE* cmyk = samples + 4 * x;
            const auto ink = [&](int channel) {
                const float stored = unitScale_[cmyk[channel]];
                return invertedCmyk_ ? 1.0f - stored : stored;
            };
            const float paper = 1.0f - ink(3);
            for (int channel = 0; channel < 3; ++channel) rgb[channel] = (1.0f - ink(channel)) * paper;
        } else {
            rgb[0] = unitScale_[samples[3 * x]];
            rgb[1] = unitScale_[samples[3 * x + 1]];
            rgb[2] = unitScale_[samples[3 * x + 2]];
        }
    }
    srgbTransform_->convert(encodedRgb_.data(), linearRgb, count);
}

}  // namespace quillmere
