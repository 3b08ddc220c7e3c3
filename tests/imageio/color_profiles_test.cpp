#include "core/imageio/color_profiles.h"

#include <gtest/gtest.h>
#include <lcms2.h>

namespace quillmere {
namespace {

TEST(ColorProfiles, AProfileStatesNoCreationTimeSoEveryBuildIsTheSame) {
    const std::string profile = iccProfileData(srgbPrimaries, TransferCurve::sRGB);
    ASSERT_GT(profile.size(), 128u);
    EXPECT_EQ(profile.substr(24, 12), std::string(12, '\0'));  // the header's dateTimeNumber
    EXPECT_EQ(iccProfileData(srgbPrimaries, TransferCurve::sRGB), profile);

    // Still a profile LittleCMS reads, of an RGB display.
    cmsHPROFILE read =
        cmsOpenProfileFromMem(profile.data(), static_cast<cmsUInt32Number>(profile.size()));
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(cmsGetColorSpace(read), cmsSigRgbData);
    EXPECT_EQ(cmsGetDeviceClass(read), cmsSigDisplayClass);
    cmsCloseProfile(read);
}

}  // namespace
}  // namespace quillmere
