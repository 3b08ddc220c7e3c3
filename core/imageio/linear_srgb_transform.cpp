#include "core/imageio/linear_srgb_transform.h"

#include <limits>

#include "core/imageio/imageio_error.h"
#include "core/imageio/lcms_profile.h"

namespace quillmere {
namespace {

cmsUInt32Number formatOf(LinearSrgbTransform::Input input) {
    switch (input) {
        case LinearSrgbTransform::Input::rgbFloat:
            return TYPE_RGB_FLT;
        case LinearSrgbTransform::Input::grayFloat:
            return TYPE_GRAY_FLT;
        case LinearSrgbTransform::Input::cmykBytes:
            return TYPE_CMYK_8;
        case LinearSrgbTransform::Input::invertedCmykBytes:
            return TYPE_CMYK_8_REV;
    }
    return TYPE_RGB_FLT;
}

cmsColorSpaceSignature colorSpaceOf(LinearSrgbTransform::Input input) {
    switch (input) {
        case LinearSrgbTransform::Input::rgbFloat:
            return cmsSigRgbData;
        case LinearSrgbTransform::Input::grayFloat:
            return cmsSigGrayData;
        case LinearSrgbTransform::Input::cmykBytes:
        case LinearSrgbTransform::Input::invertedCmykBytes:
            return cmsSigCmykData;
    }
    return cmsSigRgbData;
}

const lcms::Profile& linearSrgbProfile() {
    static const lcms::Profile profile = lcms::rgbProfile(srgbPrimaries, TransferCurve::linear);
    return profile;
}

cmsHTRANSFORM createTransform(cmsHPROFILE source, LinearSrgbTransform::Input input) {
    const lcms::Profile& destination = linearSrgbProfile();
    if (!destination) return nullptr;
    return cmsCreateTransform(source, formatOf(input), destination.get(), TYPE_RGB_FLT,
                              INTENT_PERCEPTUAL, cmsFLAGS_NOCACHE);
}

}  // namespace

std::optional<LinearSrgbTransform> LinearSrgbTransform::fromIccProfile(std::string_view profile,
                                                                        Input input) {
    if (profile.empty() || profile.size() > std::numeric_limits<cmsUInt32Number>::max()) {
        return std::nullopt;
    }
    const lcms::Profile source(cmsOpenProfileFromMem(
        profile.data(), static_cast<cmsUInt32Number>(profile.size())));
    if (!source || cmsGetColorSpace(source.get()) != colorSpaceOf(input)) return std::nullopt;
    Handle handle(createTransform(source.get(), input));
    if (!handle) return std::nullopt;
    return LinearSrgbTransform(std::move(handle));
}

LinearSrgbTransform LinearSrgbTransform::fromColorSpace(const RgbPrimaries& primaries,
                                                        TransferCurve curve) {
    const lcms::Profile source = lcms::rgbProfile(primaries, curve);
    Handle handle(source ? createTransform(source.get(), Input::rgbFloat) : nullptr);
    if (!handle) {
        throw ImageIOError(ImageIOError::Code::corruptImage,
                           "Its colour space cannot be converted.");
    }
    return LinearSrgbTransform(std::move(handle));
}

void LinearSrgbTransform::convert(const void* input, float* linearRgb,
                                  std::uint32_t pixelCount) const {
    cmsDoTransform(handle_.get(), input, linearRgb, pixelCount);
}

}  // namespace quillmere
