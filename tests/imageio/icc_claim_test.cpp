#include "reader/colour/icc_claim.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/fixtures/test_pattern.h"
#include "tests/fixtures/test_profiles.h"

namespace quillmere {
namespace {

using Input = LinearSrgbTransform::Input;

// `profile` with the signature of its tag `from` changed to `to` in its tag table.
std::string renamingTag(std::string profile, const std::string& from, const std::string& to) {
    const std::size_t count = static_cast<unsigned char>(profile[131]);
    for (std::size_t index = 0; index < count; ++index) {
        if (profile.compare(132 + index * 12, 4, from) == 0) profile.replace(132 + index * 12, 4, to);
    }
    return profile;
}

// How a photo's pixels will be converted, told from its profile's header and tag table: LittleCMS
// converts a matrix-shaper profile through its matrix and curves, which become tables, and any
// other profile of the pixels' kind pixel by pixel; a profile of other pixels is not used.
TEST(IccConversion, IsToldFromTheProfilesHeaderAndTags) {
    const std::string displayP3 = fixtures::displayP3IccProfile(), grey = fixtures::greyProfile(),
                      cmyk = fixtures::cmykProfile(), table = fixtures::lookupTableRgbProfile();
    const struct {
        const char* what;
        std::string profile;
        Input input;
        IccConversion expected;
    } cases[] = {
        {"no profile", "", Input::rgb, IccConversion::tables},
        {"a matrix-shaper", displayP3, Input::rgb, IccConversion::tables},
        {"a grey curve", grey, Input::gray, IccConversion::tables},
        {"a grey profile for RGB pixels", grey, Input::rgb, IccConversion::tables},
        {"an RGB profile for grey pixels", displayP3, Input::gray, IccConversion::tables},
        {"a lookup table", table, Input::rgb, IccConversion::perPixel},
        {"a chain of curves", fixtures::costlyRgbProfile(), Input::rgb, IccConversion::perPixel},
        {"CMYK", cmyk, Input::cmyk, IccConversion::perPixel},
        {"CMYK stored inverted", cmyk, Input::invertedCmyk, IccConversion::perPixel},
        {"a CMYK profile for RGB pixels", cmyk, Input::rgb, IccConversion::tables},
        {"a matrix-shaper with a lookup table besides",
         renamingTag(displayP3, "desc", "A2B0"), Input::rgb, IccConversion::perPixel},
        {"a matrix-shaper with a float table besides",
         renamingTag(displayP3, "desc", "D2B0"), Input::rgb, IccConversion::perPixel},
        {"a matrix without a curve", renamingTag(displayP3, "bTRC", "bTRX"), Input::rgb,
         IccConversion::perPixel},
        {"a device link", displayP3.substr(0, 12) + "link" + displayP3.substr(16), Input::rgb,
         IccConversion::perPixel},
        {"a tag table cut short", displayP3.substr(0, 150), Input::rgb, IccConversion::perPixel},
        {"a header cut short", displayP3.substr(0, 100), Input::rgb, IccConversion::tables},
    };
    for (const auto& [what, profile, input, expected] : cases) {
        EXPECT_EQ(iccConversionOf(profile, input), expected) << what;
    }
}

}  // namespace
}  // namespace quillmere
