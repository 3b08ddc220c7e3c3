#include "core/imageio/jpeg_decoder.h"

#include <array>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/imageio/imageio_error.h"
#include "core/imageio/jpeg_data_bound.h"
#include "core/imageio/jpeg_error_handling.h"
#include "core/imageio/linear_image_assembler.h"
#include "core/imageio/linear_srgb_transform.h"

namespace quillmere {
namespace {

using jpeg_errors::ErrorManager;

class Decompressor {
public:
    Decompressor() { jpeg_errors::install(errors_, *reinterpret_cast<jpeg_common_struct*>(&info_)); }
    ~Decompressor() {
        if (created_) jpeg_destroy_decompress(&info_);
    }
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;

    jpeg_decompress_struct& info() { return info_; }
    const ErrorManager& errors() const { return errors_; }

    // Runs a libjpeg step and turns its fatal error into an ImageIOError.
    template <class Step>
    void run(const Step& step) {
        if (!jpeg_errors::run(errors_, step)) {
            throw ImageIOError(ImageIOError::Code::corruptImage, errors_.message);
        }
    }

    void create() {
        run([this] { jpeg_create_decompress(&info_); });
        created_ = true;
        jpeg_errors::limitScans(errors_, info_);
    }

    void throwIfTruncated() const {
        if (errors_.truncated) {
            throw ImageIOError(ImageIOError::Code::corruptImage,
                               "Its image data ends before the image does.");
        }
    }

private:
    jpeg_decompress_struct info_{};
    ErrorManager errors_{};
    bool created_ = false;
};

struct MallocFreer {
    void operator()(JOCTET* data) const { std::free(data); }
};

std::string embeddedIccProfile(Decompressor& decompressor) {
    JOCTET* data = nullptr;
    unsigned int size = 0;
    bool found = false;
    decompressor.run([&] { found = jpeg_read_icc_profile(&decompressor.info(), &data, &size); });
    const std::unique_ptr<JOCTET, MallocFreer> owned(data);
    if (!found || data == nullptr) return {};
    return std::string(reinterpret_cast<const char*>(data), size);
}

// What libjpeg hands over for each kind of JPEG, and how those samples become linear sRGB.
class RowConverter {
public:
    RowConverter(J_COLOR_SPACE outputSpace, bool invertedCmyk, const std::string& iccProfile,
                 int width)
        : outputSpace_(outputSpace), width_(static_cast<std::size_t>(width)) {
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
        invertedCmyk_ = invertedCmyk;
        for (std::size_t value = 0; value < unitScale_.size(); ++value) {
            unitScale_[value] = static_cast<float>(value) / 255.0f;
        }
        encodedRgb_.resize(width_ * 3);
    }

    void convert(const JSAMPLE* samples, float* linearRgb) {
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

private:
    J_COLOR_SPACE outputSpace_;
    std::size_t width_;
    bool invertedCmyk_ = false;
    std::optional<LinearSrgbTransform> profileTransform_;
    std::optional<LinearSrgbTransform> srgbTransform_;
    std::array<float, 256> unitScale_{};
    std::vector<float> encodedRgb_;
};

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

LinearImage decode(std::string_view bytes, int orientation) {
    Decompressor decompressor;
    decompressor.create();
    jpeg_decompress_struct& info = decompressor.info();
    decompressor.run([&] {
        jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()),
                     static_cast<unsigned long>(bytes.size()));
        jpeg_save_markers(&info, JPEG_APP0 + 2, 0xFFFF);
        jpeg_read_header(&info, TRUE);
    });
    LinearImageAssembler::checkSize(info.image_width, info.image_height);
    if (const std::optional<std::string> implausible =
            jpeg_data_bound::implausibleSize(info, bytes)) {
        throw ImageIOError(ImageIOError::Code::corruptImage, *implausible);
    }

    const std::string iccProfile = embeddedIccProfile(decompressor);
    // Adobe's writers store CMYK inverted and say so in their APP14 marker.
    const bool invertedCmyk = info.saw_Adobe_marker;
    info.out_color_space = outputSpaceFor(info.jpeg_color_space);
    decompressor.run([&] { jpeg_start_decompress(&info); });
    decompressor.throwIfTruncated();
    if (info.output_components != componentsOf(info.out_color_space)) {
        throw ImageIOError(ImageIOError::Code::corruptImage, "Its colour channels do not match.");
    }

    LinearImageAssembler assembler(info.output_width, info.output_height, orientation);
    RowConverter converter(info.out_color_space, invertedCmyk, iccProfile,
                           static_cast<int>(info.output_width));
    std::vector<JSAMPLE> samples(static_cast<std::size_t>(info.output_width) *
                                 static_cast<std::size_t>(info.output_components));
    std::vector<float> linearRgb(static_cast<std::size_t>(info.output_width) * 3);
    JSAMPROW row = samples.data();
    for (int y = 0; y < static_cast<int>(info.output_height); ++y) {
        JDIMENSION read = 0;
        decompressor.run([&] { read = jpeg_read_scanlines(&info, &row, 1); });
        decompressor.throwIfTruncated();
        if (read != 1) throw ImageIOError(ImageIOError::Code::corruptImage);
        converter.convert(samples.data(), linearRgb.data());
        assembler.setRow(y, linearRgb.data());
    }
    return std::move(assembler).take();
}

}  // namespace

LinearImage decodeJpeg(std::string_view bytes, int orientation) {
    try {
        return decode(bytes, orientation);
    } catch (const std::bad_alloc&) {
        throw ImageIOError(ImageIOError::Code::outOfMemory);
    }
}

}  // namespace quillmere
