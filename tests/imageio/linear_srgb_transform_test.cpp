#include "core/imageio/linear_srgb_transform.h"
#include "core/imageio/matrix_shaper_tables.h"

#include <gtest/gtest.h>
#include <lcms2.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tests/fixtures/test_pattern.h"
#include "tests/imageio/reference_colour.h"

namespace quillmere {
namespace {

using Input = LinearSrgbTransform::Input;
using testing_support::linearFromBt709Curve;
using testing_support::linearFromSrgbCurve;
using testing_support::Matrix3;
using testing_support::multiply;
using testing_support::toLinearSrgb;
using Pixel = std::array<std::uint32_t, 4>;

constexpr double kTolerance = 1e-4;

constexpr RgbPrimaries adobeRgbPrimaries{0.64, 0.33, 0.21, 0.71, 0.15, 0.06, 0.3127, 0.3290};
constexpr RgbPrimaries bt2020Primaries{0.708, 0.292, 0.170, 0.797, 0.131, 0.046, 0.3127, 0.3290};
// ROMM RGB (ProPhoto): a white other than sRGB's, so that adaptation matters.
constexpr RgbPrimaries rommPrimaries{0.7347, 0.2653, 0.1596, 0.8404, 0.0366, 0.0001, 0.3457, 0.3585};

std::string savedProfile(cmsHPROFILE profile) {
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    std::string bytes(size, '\0');
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    return bytes;
}

std::string greyProfile(double gamma) {
    cmsToneCurve* curve = cmsBuildGamma(nullptr, gamma);
    const std::string bytes = savedProfile(cmsCreateGrayProfile(cmsD50_xyY(), curve));
    cmsFreeToneCurve(curve);
    return bytes;
}

// A profile whose lookup table (AToB0) maps a device colour to XYZ: a smooth mix of its
// channels, nothing a matrix gives. `base` is the profile it is added to.
std::string withLookupTable(cmsHPROFILE base, int channels) {
    cmsPipeline* table = cmsPipelineAlloc(nullptr, static_cast<cmsUInt32Number>(channels), 3);
    cmsStage* grid = cmsStageAllocCLut16bit(nullptr, 9, static_cast<cmsUInt32Number>(channels), 3, nullptr);
    cmsStageSampleCLut16bit(
        grid,
        [](const cmsUInt16Number in[], cmsUInt16Number out[], void* cargo) -> cmsInt32Number {
            const int count = *static_cast<int*>(cargo);
            const auto unit = [&](int channel) { return in[channel] / 65535.0; };
            const double black = count == 4 ? 1.0 - unit(3) : 1.0;
            const double a = (1.0 - 0.9 * unit(0) * unit(1)) * black,
                         b = (1.0 - unit(1) * unit(1)) * black, c = (1.0 - 0.5 * unit(2)) * black;
            const cmsCIEXYZ xyz{0.9642 * (0.2 * a + 0.5 * b * c), 0.6 * b + 0.3 * a * c, 0.8249 * c * c};
            cmsFloat2XYZEncoded(out, &xyz);
            return TRUE;
        },
        &channels, 0);
    // Stored as a version 4 table, which holds curves on both sides of the grid.
    cmsPipelineInsertStage(table, cmsAT_END,
                           cmsStageAllocToneCurves(nullptr, static_cast<cmsUInt32Number>(channels), nullptr));
    cmsPipelineInsertStage(table, cmsAT_END, grid);
    cmsPipelineInsertStage(table, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
    cmsWriteTag(base, cmsSigAToB0Tag, table);
    cmsPipelineFree(table);
    return savedProfile(base);
}

std::string cmykProfile() {
    cmsHPROFILE profile = cmsCreateProfilePlaceholder(nullptr);
    cmsSetProfileVersion(profile, 4.3);
    cmsSetDeviceClass(profile, cmsSigOutputClass);
    cmsSetColorSpace(profile, cmsSigCmykData);
    cmsSetPCS(profile, cmsSigXYZData);
    return withLookupTable(profile, 4);
}

// Linear sRGB as LittleCMS makes it of `samples` (`format`), as an independent reference for
// profiles that are not matrix-shaper.
std::vector<float> littleCmsLinearSrgb(const std::string& profile, cmsUInt32Number format,
                                       const void* samples, std::size_t count) {
    cmsToneCurve* linear = cmsBuildGamma(nullptr, 1.0);
    cmsToneCurve* curves[3] = {linear, linear, linear};
    const cmsCIExyY white{0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries{{0.64, 0.33, 1.0}, {0.30, 0.60, 1.0}, {0.15, 0.06, 1.0}};
    cmsHPROFILE destination = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsHPROFILE source = cmsOpenProfileFromMem(profile.data(), static_cast<cmsUInt32Number>(profile.size()));
    cmsHTRANSFORM transform = cmsCreateTransform(source, format, destination, TYPE_RGB_FLT,
                                                 INTENT_PERCEPTUAL, 0);
    std::vector<float> rgb(count * 3);
    cmsDoTransform(transform, samples, rgb.data(), static_cast<cmsUInt32Number>(count));
    cmsDeleteTransform(transform);
    cmsCloseProfile(source);
    cmsCloseProfile(destination);
    cmsFreeToneCurve(linear);
    return rgb;
}

// Every code of each channel alone, every code as grey, and random mixtures; with `overflow`,
// codes beyond maxCode too, which count as maxCode.
std::vector<Pixel> probePixels(std::uint32_t maxCode, int channels, bool overflow = false) {
    std::vector<Pixel> pixels;
    for (std::uint32_t code = 0; code <= maxCode + (overflow ? 9 : 0); ++code) {
        for (int channel = 0; channel < channels; ++channel) {
            Pixel alone{};
            alone[static_cast<std::size_t>(channel)] = code;
            pixels.push_back(alone);
        }
        pixels.push_back({code, code, code, channels == 4 ? 0 : code});
    }
    std::mt19937 random(11);
    for (int mixture = 0; mixture < 3000; ++mixture) {
        Pixel pixel{};
        for (int channel = 0; channel < channels; ++channel) pixel[channel] = random() % (maxCode + 1);
        pixels.push_back(pixel);
    }
    return pixels;
}

// `pixels` through `transform` as interleaved samples of `channels` (bytes up to 255, 16-bit
// words above): four floats each.
std::vector<float> converted(const LinearSrgbTransform& transform, const std::vector<Pixel>& pixels,
                             int channels, bool bytes) {
    std::vector<float> rgba(pixels.size() * 4);
    const auto run = [&]<class Sample>(std::vector<Sample> samples) {
        for (const Pixel& pixel : pixels) {
            for (int channel = 0; channel < channels; ++channel) samples.push_back(static_cast<Sample>(pixel[channel]));
        }
        const Sample* first = samples.data();
        const auto at = [&](int channel) { return first + std::min(channel, channels - 1); };
        transform.convert(SampleRow<Sample>{{at(0), at(1), at(2), at(3)}, channels}, rgba.data(),
                          static_cast<std::uint32_t>(pixels.size()));
    };
    if (bytes) {
        run(std::vector<std::uint8_t>{});
    } else {
        run(std::vector<std::uint16_t>{});
    }
    return rgba;
}

// The pixels of `rgba` that miss `expected` (three doubles a pixel) by more than the tolerance or
// are not opaque, with the worst miss.
::testing::AssertionResult matches(const std::vector<float>& rgba,
                                   const std::function<testing_support::Vector3(std::size_t)>& expected,
                                   double tolerance = kTolerance) {
    std::size_t misses = 0;
    double worst = 0;
    for (std::size_t pixel = 0; pixel < rgba.size() / 4; ++pixel) {
        const testing_support::Vector3 wanted = expected(pixel);
        for (std::size_t component = 0; component < 3; ++component) {
            const double miss = std::fabs(rgba[pixel * 4 + component] - wanted[component]);
            worst = std::max(worst, miss);
            misses += !(miss <= tolerance);
        }
        misses += rgba[pixel * 4 + 3] != 1.0f;
    }
    if (misses == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << misses << " values miss, the worst by " << worst;
}

// The RGB colour spaces photos come in, each converted as its definition says: the curve of
// each channel, then the matrix from its primaries to sRGB's through Bradford adaptation, for
// 8-bit samples and for the 10 and 12 bits of deep HEIF pictures.
TEST(LinearSrgbTransform, RgbColourSpacesConvertAsTheirDefinitions) {
    const auto gamma22 = [](double encoded) { return std::pow(encoded, 2.2); };
    const struct {
        const char* what;
        std::function<LinearSrgbTransform()> make;
        std::uint32_t maxCode;
        RgbPrimaries primaries;
        std::function<double(double)> curve;
    } spaces[] = {
        {"sRGB", [] { return LinearSrgbTransform::fromColorSpace(srgbPrimaries, TransferCurve::sRGB); },
         255, srgbPrimaries, linearFromSrgbCurve},
        {"sRGB at 10 bits",
         [] { return LinearSrgbTransform::fromColorSpace(srgbPrimaries, TransferCurve::sRGB, 1023); },
         1023, srgbPrimaries, linearFromSrgbCurve},
        {"BT.2020 with the BT.709 curve at 12 bits",
         [] { return LinearSrgbTransform::fromColorSpace(bt2020Primaries, TransferCurve::bt709, 4095); },
         4095, bt2020Primaries, linearFromBt709Curve},
        {"ROMM at gamma 2.2, a D50 white",
         [] { return LinearSrgbTransform::fromColorSpace(rommPrimaries, TransferCurve::gamma22); },
         255, rommPrimaries, gamma22},
        {"Display P3 profile",
         [] { return *LinearSrgbTransform::fromIccProfile(fixtures::displayP3IccProfile(), Input::rgb); },
         255, fixtures::displayP3Primaries, linearFromSrgbCurve},
        {"Display P3 profile at 10 bits",
         [] { return *LinearSrgbTransform::fromIccProfile(fixtures::displayP3IccProfile(), Input::rgb, 1023); },
         1023, fixtures::displayP3Primaries, linearFromSrgbCurve},
        {"Adobe RGB profile",
         [] {
             return *LinearSrgbTransform::fromIccProfile(
                 iccProfileData(adobeRgbPrimaries, TransferCurve::gamma22, "Adobe RGB"), Input::rgb);
         },
         255, adobeRgbPrimaries, gamma22},
    };
    for (const auto& space : spaces) {
        SCOPED_TRACE(space.what);
        const bool deep = space.maxCode > 255;
        const std::vector<Pixel> pixels = probePixels(space.maxCode, 3, deep);
        const Matrix3 matrix = toLinearSrgb(space.primaries);
        EXPECT_TRUE(matches(converted(space.make(), pixels, 3, !deep), [&](std::size_t index) {
            testing_support::Vector3 light{};
            for (std::size_t channel = 0; channel < 3; ++channel) {
                const std::uint32_t code = std::min(pixels[index][channel], space.maxCode);
                light[channel] = space.curve(static_cast<double>(code) / space.maxCode);
            }
            return multiply(matrix, light);
        }));
    }
}

// A grey photo is neutral light of its curve: through a grey profile, and as sRGB, whose
// three channels then carry the same samples.
TEST(LinearSrgbTransform, GreyIsNeutralLightOfItsCurve) {
    const struct {
        const char* what;
        LinearSrgbTransform transform;
        int channels;
        std::function<double(double)> curve;
    } greys[] = {
        {"grey profile at gamma 2.2", *LinearSrgbTransform::fromIccProfile(greyProfile(2.2), Input::gray),
         1, [](double encoded) { return std::pow(encoded, 2.2); }},
        {"taken as sRGB", LinearSrgbTransform::fromColorSpace(srgbPrimaries, TransferCurve::sRGB), 3,
         linearFromSrgbCurve},
    };
    std::vector<Pixel> pixels;
    for (std::uint32_t code = 0; code < 256; ++code) pixels.push_back({code, code, code, 0});
    for (const auto& grey : greys) {
        SCOPED_TRACE(grey.what);
        EXPECT_TRUE(matches(converted(grey.transform, pixels, grey.channels, true), [&](std::size_t index) {
            const double light = grey.curve(pixels[index][0] / 255.0);
            return testing_support::Vector3{light, light, light};
        }));
    }
}

// Profiles that are lookup tables convert as LittleCMS converts them: CMYK, and an RGB profile
// whose matrix and curves say sRGB while the table it is read through says otherwise.
TEST(LinearSrgbTransform, ProfilesWithLookupTablesConvertAsLittleCmsDoes) {
    const std::string cmyk = cmykProfile();
    const std::string rgbTable = withLookupTable(cmsCreate_sRGBProfile(), 3);
    const struct {
        const char* what;
        const std::string& profile;
        Input input;
        cmsUInt32Number format;
    } profiles[] = {
        {"CMYK", cmyk, Input::cmyk, TYPE_CMYK_8},
        {"RGB lookup table", rgbTable, Input::rgb, TYPE_RGB_FLT},
    };
    for (const auto& [what, profile, input, format] : profiles) {
        SCOPED_TRACE(what);
        const int channels = input == Input::rgb ? 3 : 4;
        const std::vector<Pixel> pixels = probePixels(255, channels);
        std::vector<std::uint8_t> bytes;
        std::vector<float> values;
        for (const Pixel& pixel : pixels) {
            for (int channel = 0; channel < channels; ++channel) {
                bytes.push_back(static_cast<std::uint8_t>(pixel[channel]));
                values.push_back(static_cast<float>(pixel[channel]) / 255.0f);
            }
        }
        const std::vector<float> reference = littleCmsLinearSrgb(
            profile, format, channels == 3 ? static_cast<const void*>(values.data()) : bytes.data(),
            pixels.size());
        const auto referenceAt = [&](std::size_t index) {
            return testing_support::Vector3{reference[3 * index], reference[3 * index + 1],
                                            reference[3 * index + 2]};
        };
        const std::vector<float> rgba =
            converted(*LinearSrgbTransform::fromIccProfile(profile, input), pixels, channels, true);
        EXPECT_TRUE(matches(rgba, referenceAt, 1e-6));
        if (input == Input::rgb) {
            // Its matrix and curves would give sRGB: far from what its table gives.
            EXPECT_FALSE(matches(rgba, [&](std::size_t index) {
                const Pixel& pixel = pixels[index];
                return testing_support::Vector3{linearFromSrgbCurve(pixel[0] / 255.0),
                                                linearFromSrgbCurve(pixel[1] / 255.0),
                                                linearFromSrgbCurve(pixel[2] / 255.0)};
            }, 0.05));
        }
    }
}

// Tables are built for a matrix-shaper profile, and only where they reproduce the transform they
// stand for: never for a profile LittleCMS reads through a lookup table, nor for a transform that
// is not the profile's own (the check on a spread of colours sees it).
TEST(MatrixShaperTables, AreBuiltOnlyWhereTheyReproduceTheTransform) {
    const std::string displayP3 = fixtures::displayP3IccProfile();
    const std::string adobeRgb = iccProfileData(adobeRgbPrimaries, TransferCurve::gamma22, "Adobe RGB");
    const std::string grey = greyProfile(2.2);
    const std::string lookupTable = withLookupTable(cmsCreate_sRGBProfile(), 3);
    const struct {
        const char* what;
        const std::string& profile;
        const std::string& transformedBy;
        std::uint32_t maxCode;
        bool built;
    } cases[] = {
        {"Display P3", displayP3, displayP3, 255, true},
        {"Display P3 at 12 bits", displayP3, displayP3, 4095, true},
        {"Adobe RGB", adobeRgb, adobeRgb, 255, true},
        {"grey", grey, grey, 255, true},
        {"an RGB lookup table", lookupTable, lookupTable, 255, false},
        {"Display P3's curves with Adobe RGB's transform", displayP3, adobeRgb, 255, false},
        {"Adobe RGB's curves with Display P3's transform", adobeRgb, displayP3, 1023, false},
    };
    const auto open = [](const std::string& bytes) {
        return std::unique_ptr<void, decltype(&cmsCloseProfile)>(
            cmsOpenProfileFromMem(bytes.data(), static_cast<cmsUInt32Number>(bytes.size())),
            cmsCloseProfile);
    };
    cmsToneCurve* linear = cmsBuildGamma(nullptr, 1.0);
    cmsToneCurve* curves[3] = {linear, linear, linear};
    const cmsCIExyY white{0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries{{0.64, 0.33, 1.0}, {0.30, 0.60, 1.0}, {0.15, 0.06, 1.0}};
    const auto linearSrgb = open(savedProfile(cmsCreateRGBProfile(&white, &primaries, curves)));
    cmsFreeToneCurve(linear);
    for (const auto& [what, profile, transformedBy, maxCode, built] : cases) {
        SCOPED_TRACE(what);
        const auto source = open(profile), transforming = open(transformedBy);
        const bool isGrey = cmsGetColorSpace(source.get()) == cmsSigGrayData;
        const std::unique_ptr<void, decltype(&cmsDeleteTransform)> transform(
            cmsCreateTransform(transforming.get(), isGrey ? TYPE_GRAY_FLT : TYPE_RGB_FLT,
                               linearSrgb.get(), TYPE_RGB_FLT, INTENT_PERCEPTUAL, cmsFLAGS_NOCACHE),
            cmsDeleteTransform);
        ASSERT_TRUE(transform);
        EXPECT_EQ(MatrixShaperTables::build(source.get(), transform.get(), isGrey ? 1 : 3, maxCode)
                      .has_value(),
                  built);
    }
}

}  // namespace
}  // namespace quillmere
