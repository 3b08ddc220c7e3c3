#include "reader/colour/linear_srgb_transform.h"

#include <gtest/gtest.h>
#include <lcms2.h>

#include <random>
#include <string>
#include <vector>

#include "reader/colour/matrix_shaper_tables.h"
#include "tests/fixtures/test_pattern.h"
#include "tests/fixtures/test_profiles.h"

namespace quillmere {
namespace {

using Input = LinearSrgbTransform::Input;

// LittleCMS's own transform from `profile`'s pixels (`format`) into linear sRGB floats.
class Reference {
  public:
    Reference(const std::string& profile, cmsUInt32Number format)
        : source_(
              cmsOpenProfileFromMem(profile.data(), static_cast<cmsUInt32Number>(profile.size()))) {
        cmsToneCurve* linear = cmsBuildGamma(nullptr, 1.0);
        cmsToneCurve* curves[3] = {linear, linear, linear};
        const cmsCIExyY white{0.3127, 0.3290, 1.0};
        const cmsCIExyYTRIPLE srgb{{0.64, 0.33, 1.0}, {0.30, 0.60, 1.0}, {0.15, 0.06, 1.0}};
        destination_ = cmsCreateRGBProfile(&white, &srgb, curves);
        cmsFreeToneCurve(linear);
        transform_ =
            cmsCreateTransform(source_, format, destination_, TYPE_RGB_FLT, INTENT_PERCEPTUAL, 0);
    }
    ~Reference() {
        cmsDeleteTransform(transform_);
        cmsCloseProfile(destination_);
        cmsCloseProfile(source_);
    }
    cmsHPROFILE source() const { return source_; }
    cmsHTRANSFORM transform() const { return transform_; }

  private:
    cmsHPROFILE source_;
    cmsHPROFILE destination_;
    cmsHTRANSFORM transform_;
};

// Against LittleCMS itself: CMYK and RGB profiles it reads through lookup tables (the RGB one
// also has sRGB's matrix and curves, which map unlike its table and must not be used), a grey
// profile, and deep samples, whose codes beyond the largest count as the largest.
TEST(LinearSrgbTransform, ConvertsAsLittleCmsDoes) {
    const struct {
        const char* what;
        std::string profile;
        Input input;
        int channels;
        std::uint32_t maxCode;
        cmsUInt32Number format;
    } cases[] = {
        {"CMYK table", fixtures::cmykProfile(), Input::cmyk, 4, 255, TYPE_CMYK_8},
        {"RGB table", fixtures::lookupTableRgbProfile(), Input::rgb, 3, 255,
         TYPE_RGB_FLT},
        {"grey", fixtures::greyProfile(), Input::gray, 1, 255, TYPE_GRAY_FLT},
        {"Display P3 at 12 bits", fixtures::displayP3IccProfile(), Input::rgb, 3, 4095,
         TYPE_RGB_FLT},
    };
    std::mt19937 random(3);
    for (const auto& [what, profile, input, channels, maxCode, format] : cases) {
        SCOPED_TRACE(what);
        std::vector<std::uint16_t> codes;
        for (std::uint32_t code = 0; code <= maxCode + (maxCode > 255 ? 9 : 0); ++code) {
            codes.push_back(static_cast<std::uint16_t>(code));
        }
        while (codes.size() < 30000)
            codes.push_back(static_cast<std::uint16_t>(random() % (maxCode + 1)));
        const std::size_t count = codes.size() / static_cast<std::size_t>(channels);
        const std::vector<std::uint8_t> bytes(codes.begin(), codes.end());
        std::vector<float> values;
        for (const std::uint16_t code : codes)
            values.push_back(std::min<float>(code, maxCode) / maxCode);
        std::vector<float> expected(count * 3);
        cmsDoTransform(
            Reference(profile, format).transform(),
            format == TYPE_CMYK_8 ? static_cast<const void*>(bytes.data()) : values.data(),
            expected.data(), static_cast<cmsUInt32Number>(count));

        const LinearSrgbTransform ours =
            *LinearSrgbTransform::fromIccProfile(profile, input, maxCode);
        std::vector<float> rgba(count * 4);
        const auto convert = [&](const auto* samples) {
            const auto at = [&](int channel) { return samples + std::min(channel, channels - 1); };
            ours.convert({{at(0), at(1), at(2), at(3)}, channels}, rgba.data(),
                         static_cast<std::uint32_t>(count));
        };
        maxCode > 255 ? convert(codes.data()) : convert(bytes.data());
        double worst = 0;
        for (std::size_t pixel = 0; pixel < count; ++pixel) {
            EXPECT_EQ(rgba[pixel * 4 + 3], 1.0f);
            for (std::size_t component = 0; component < 3; ++component) {
                worst = std::max<double>(worst, std::fabs(rgba[pixel * 4 + component] -
                                                          expected[pixel * 3 + component]));
            }
        }
        EXPECT_LE(worst, 1e-5);
    }
}

// Tables are built for a matrix-shaper profile, and only where they reproduce the transform they
// stand for: never for a profile read through a lookup table, nor for another profile's transform.
TEST(MatrixShaperTables, AreBuiltOnlyWhereTheyReproduceTheTransform) {
    const std::string displayP3 = fixtures::displayP3IccProfile(), grey = fixtures::greyProfile(),
                      adobe = iccProfileData({0.64, 0.33, 0.21, 0.71, 0.15, 0.06, 0.3127, 0.3290},
                                             TransferCurve::gamma22, "Adobe RGB"),
                      table = fixtures::lookupTableRgbProfile();
    const struct {
        const std::string& profile;
        const std::string& transformedBy;
        std::uint32_t maxCode;
        bool built;
    } cases[] = {
        {displayP3, displayP3, 4095, true}, {grey, grey, 255, true},
        {table, table, 255, false},         {displayP3, adobe, 255, false},
        {adobe, displayP3, 1023, false},
    };
    for (std::size_t index = 0; index < std::size(cases); ++index) {
        SCOPED_TRACE(index);
        const auto& [profile, transformedBy, maxCode, built] = cases[index];
        const bool isGrey = &profile == &grey;
        const cmsUInt32Number format = isGrey ? TYPE_GRAY_FLT : TYPE_RGB_FLT;
        const Reference source(profile, format), transforming(transformedBy, format);
        EXPECT_EQ(MatrixShaperTables::build(source.source(), transforming.transform(),
                                            isGrey ? 1 : 3, maxCode)
                      .has_value(),
                  built);
    }
}

}  // namespace
}  // namespace quillmere
