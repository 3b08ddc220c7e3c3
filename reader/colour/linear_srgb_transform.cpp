#include "reader/colour/linear_srgb_transform.h"

#include <algorithm>
#include <array>
#include <limits>

#include "core/imageio/imageio_error.h"
#include "core/imageio/lcms_profile.h"

namespace quillmere {
namespace {

using Input = LinearSrgbTransform::Input;

// The pixels LittleCMS converts at a time where no table does, from a buffer on the stack.
constexpr std::size_t kChunkPixels = 256;

bool isCmyk(Input input) { return input == Input::cmyk || input == Input::invertedCmyk; }

int channelsOf(Input input) { return input == Input::gray ? 1 : isCmyk(input) ? 4 : 3; }

// The format LittleCMS reads: RGB and grey as floats from 0 to 1, CMYK as bytes.
cmsUInt32Number formatOf(Input input) {
    switch (input) {
        case Input::rgb:
            return TYPE_RGB_FLT;
        case Input::gray:
            return TYPE_GRAY_FLT;
        case Input::cmyk:
            return TYPE_CMYK_8;
        case Input::invertedCmyk:
            return TYPE_CMYK_8_REV;
    }
    return TYPE_RGB_FLT;
}

cmsColorSpaceSignature colorSpaceOf(Input input) {
    switch (input) {
        case Input::rgb:
            return cmsSigRgbData;
        case Input::gray:
            return cmsSigGrayData;
        case Input::cmyk:
        case Input::invertedCmyk:
            return cmsSigCmykData;
    }
    return cmsSigRgbData;
}

const lcms::Profile& linearSrgbProfile() {
    static const lcms::Profile profile = lcms::rgbProfile(srgbPrimaries, TransferCurve::linear);
    return profile;
}

cmsHTRANSFORM createTransform(cmsHPROFILE source, Input input) {
    const lcms::Profile& destination = linearSrgbProfile();
    if (!destination) return nullptr;
    return cmsCreateTransform(source, formatOf(input), destination.get(), TYPE_RGB_FLT,
                              INTENT_PERCEPTUAL, cmsFLAGS_NOCACHE);
}

}  // namespace

LinearSrgbTransform::LinearSrgbTransform(cmsHPROFILE source, Input input, std::uint32_t maxCode,
                                         Handle handle)
    : input_(input),
      maxCode_(isCmyk(input) ? 255 : std::clamp<std::uint32_t>(maxCode, 1, 65535)),
      handle_(std::move(handle)) {
    if (!isCmyk(input)) {
        tables_ = MatrixShaperTables::build(source, handle_.get(), channelsOf(input), maxCode_);
    }
}

std::optional<LinearSrgbTransform> LinearSrgbTransform::fromIccProfile(std::string_view profile,
                                                                       Input input,
                                                                       std::uint32_t maxCode) {
    if (profile.empty() || profile.size() > std::numeric_limits<cmsUInt32Number>::max()) {
        return std::nullopt;
    }
    const lcms::Profile source(
        cmsOpenProfileFromMem(profile.data(), static_cast<cmsUInt32Number>(profile.size())));
    if (!source || cmsGetColorSpace(source.get()) != colorSpaceOf(input)) return std::nullopt;
    Handle handle(createTransform(source.get(), input));
    if (!handle) return std::nullopt;
    return LinearSrgbTransform(source.get(), input, maxCode, std::move(handle));
}

LinearSrgbTransform LinearSrgbTransform::fromColorSpace(const RgbPrimaries& primaries,
                                                        TransferCurve curve,
                                                        std::uint32_t maxCode) {
    const lcms::Profile source = lcms::rgbProfile(primaries, curve);
    Handle handle(source ? createTransform(source.get(), Input::rgb) : nullptr);
    if (!handle) {
        throw ImageIOError(ImageIOError::Code::corruptImage,
                           "Its colour space cannot be converted.");
    }
    return LinearSrgbTransform(source.get(), Input::rgb, maxCode, std::move(handle));
}

// Without tables, LittleCMS converts a chunk of pixels at a time: RGB and grey codes as the
// values they stand for, CMYK codes as the bytes they are.
template <class Sample>
void LinearSrgbTransform::convertRow(const SampleRow<Sample>& row, float* linearRgba,
                                     std::uint32_t pixelCount) const {
    if (tables_) return tables_->convert(row, linearRgba, pixelCount);
    const int channels = channelsOf(input_);
    std::array<float, kChunkPixels * 3> values;
    std::array<std::uint8_t, kChunkPixels * 4> inks;
    std::array<float, kChunkPixels * 3> linearRgb;
    for (std::size_t start = 0; start < pixelCount; start += kChunkPixels) {
        const std::size_t count = std::min<std::size_t>(kChunkPixels, pixelCount - start);
        for (std::size_t pixel = 0; pixel < count; ++pixel) {
            for (int channel = 0; channel < channels; ++channel) {
                const std::uint32_t code =
                    std::min<std::uint32_t>(row.at(channel, start + pixel), maxCode_);
                const std::size_t index =
                    pixel * static_cast<std::size_t>(channels) + static_cast<std::size_t>(channel);
                if (isCmyk(input_)) {
                    inks[index] = static_cast<std::uint8_t>(code);
                } else {
                    values[index] = unitValue(code, maxCode_);
                }
            }
        }
        cmsDoTransform(handle_.get(),
                       isCmyk(input_) ? static_cast<const void*>(inks.data())
                                      : static_cast<const void*>(values.data()),
                       linearRgb.data(), static_cast<cmsUInt32Number>(count));
        float* out = linearRgba + start * 4;
        for (std::size_t pixel = 0; pixel < count; ++pixel, out += 4) {
            std::copy_n(linearRgb.data() + pixel * 3, 3, out);
            out[3] = 1.0f;
        }
    }
}

void LinearSrgbTransform::convert(const SampleRow<std::uint8_t>& row, float* linearRgba,
                                  std::uint32_t pixelCount) const {
    convertRow(row, linearRgba, pixelCount);
}

void LinearSrgbTransform::convert(const SampleRow<std::uint16_t>& row, float* linearRgba,
                                  std::uint32_t pixelCount) const {
    convertRow(row, linearRgba, pixelCount);
}

}  // namespace quillmere
