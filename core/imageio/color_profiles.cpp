#include "core/imageio/color_profiles.h"

#include <algorithm>
#include <array>
#include <memory>
#include <string>

#include "core/imageio/imageio_error.h"
#include "core/imageio/lcms_profile.h"

namespace quillmere {
namespace lcms {
namespace {

// Where an ICC profile's header holds its creation date and time (dateTimeNumber): six 16-bit
// fields from byte 24.
constexpr std::size_t kCreationTimeOffset = 24;
constexpr std::size_t kCreationTimeLength = 12;

struct CurveFreer {
    void operator()(cmsToneCurve* curve) const { cmsFreeToneCurve(curve); }
};
using ToneCurve = std::unique_ptr<cmsToneCurve, CurveFreer>;

// LittleCMS's parametric curve 4: Y = (aX + b)^g for X >= d, Y = cX below, which continues
// linearly through zero and so keeps negative values of an unbounded transform.
ToneCurve piecewiseCurve(double gamma, double offset, double slope, double breakpoint) {
    const double parameters[5] = {gamma, 1.0 / (1.0 + offset), offset / (1.0 + offset), slope,
                                  breakpoint};
    return ToneCurve(cmsBuildParametricToneCurve(nullptr, 4, parameters));
}

ToneCurve toneCurve(TransferCurve curve) {
    switch (curve) {
        case TransferCurve::sRGB:
            return piecewiseCurve(2.4, 0.055, 1.0 / 12.92, 0.04045);
        case TransferCurve::bt709:
            return piecewiseCurve(1.0 / 0.45, 0.099, 1.0 / 4.5, 0.081);
        case TransferCurve::linear:
            return ToneCurve(cmsBuildGamma(nullptr, 1.0));
        case TransferCurve::gamma22:
            return ToneCurve(cmsBuildGamma(nullptr, 2.2));
        case TransferCurve::gamma28:
            return ToneCurve(cmsBuildGamma(nullptr, 2.8));
    }
    return ToneCurve(cmsBuildGamma(nullptr, 1.0));
}

struct MluFreer {
    void operator()(cmsMLU* mlu) const { cmsMLUfree(mlu); }
};

// Replaces the description LittleCMS gives every profile it builds ("RGB built-in"); its
// copyright line, "No copyright, use freely", stays.
bool describe(cmsHPROFILE profile, std::string_view description) {
    const std::unique_ptr<cmsMLU, MluFreer> text(cmsMLUalloc(nullptr, 1));
    const std::string terminated(description);
    return text && cmsMLUsetASCII(text.get(), "en", "US", terminated.c_str()) &&
           cmsWriteTag(profile, cmsSigProfileDescriptionTag, text.get());
}

}  // namespace

Profile rgbProfile(const RgbPrimaries& primaries, TransferCurve curve) {
    const cmsCIExyY white{primaries.whiteX, primaries.whiteY, 1.0};
    const cmsCIExyYTRIPLE rgb{{primaries.redX, primaries.redY, 1.0},
                              {primaries.greenX, primaries.greenY, 1.0},
                              {primaries.blueX, primaries.blueY, 1.0}};
    const ToneCurve tone = toneCurve(curve);
    if (!tone) return nullptr;
    std::array<cmsToneCurve*, 3> curves{tone.get(), tone.get(), tone.get()};
    return Profile(cmsCreateRGBProfile(&white, &rgb, curves.data()));
}

}  // namespace lcms

std::string iccProfileData(const RgbPrimaries& primaries, TransferCurve curve,
                           std::string_view description) {
    const lcms::Profile profile = lcms::rgbProfile(primaries, curve);
    cmsUInt32Number size = 0;
    if (!profile || !lcms::describe(profile.get(), description) ||
        !cmsSaveProfileToMem(profile.get(), nullptr, &size) || size == 0) {
        throw ImageIOError(ImageIOError::Code::encodingFailed, "No ICC profile could be built.");
    }
    std::string data(size, '\0');
    if (!cmsSaveProfileToMem(profile.get(), data.data(), &size)) {
        throw ImageIOError(ImageIOError::Code::encodingFailed, "No ICC profile could be built.");
    }
    data.resize(size);
    // LittleCMS stamps the profile with the time it was built; without the stamp one edit
    // exported twice gives the same bytes.
    const auto creationTime = data.begin() + lcms::kCreationTimeOffset;
    std::fill(creationTime, creationTime + lcms::kCreationTimeLength, '\0');
    return data;
}

}  // namespace quillmere
