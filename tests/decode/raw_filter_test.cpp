#include "core/decode/raw_filter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <functional>

#include "core/decode/raw_filter_error.h"
#include "tests/decode/decode_test_support.h"
#include "tests/fixtures/synthetic_dng.h"
#include "tests/fixtures/temporary_folder.h"

namespace quillmere {
namespace {

using fixtures::SyntheticDNGOptions;
using testing::failureOf;
using testing::statisticsOf;
using testing::testData;

// The settings the RAW loader decodes with (no neural decoder is on offer).
RAWFilterSettings loaderSettings(float noiseReduction) {
    RAWFilterSettings settings = RAWFilter::initialSettings();
    settings.extendedDynamicRangeAmount = 2.0f;
    settings.luminanceNoiseReductionAmount = noiseReduction;
    settings.colorNoiseReductionAmount = noiseReduction;
    return settings;
}

class RAWFilterTest : public ::testing::Test {
  protected:
    std::filesystem::path write(const std::string& name, const SyntheticDNGOptions& options) {
        const std::filesystem::path file = folder.path() / name;
        fixtures::writeSyntheticDNG(file, options);
        return file;
    }
    std::shared_ptr<Texture> develop(const std::filesystem::path& file, float noiseReduction) {
        RAWFilter filter(file);
        filter.setSettings(loaderSettings(noiseReduction));
        return filter.outputTexture();
    }

    testing::TemporaryFolder folder;
};

TEST_F(RAWFilterTest, ExtendedRangeKeepsValuesAboveWhiteAndStandardRangeClipsThem) {
    // The as-shot neutral doubles red, so a red at 0.8 of the range develops to 1.6.
    SyntheticDNGOptions options;
    options.asShotNeutral = std::array<double, 3>{0.5, 1.0, 1.0};
    options.scene = fixtures::flatScene(0.8f, 0.2f, 0.4f);
    RAWFilter filter(write("bright.dng", options));
    RAWFilterSettings settings = loaderSettings(0.0f);
    filter.setSettings(settings);
    EXPECT_NEAR(statisticsOf(*filter.outputTexture(), 0, 8, 8, 100, 80).mean, 1.6, 5e-3);
    settings.extendedDynamicRangeAmount = 0.0f;
    filter.setSettings(settings);
    EXPECT_EQ(statisticsOf(*filter.outputTexture(), 0, 8, 8, 100, 80).mean, 1.0);
}

TEST_F(RAWFilterTest, RefusesSettingsItCannotHonourAndKeepsItsOwn) {
    RAWFilter filter(write("grey.dng", SyntheticDNGOptions{}));
    filter.setSettings(loaderSettings(1.0f));
    const std::vector<std::pair<std::string, std::function<void(RAWFilterSettings&)>>> refused{
        {"decoderVersion \"9\".", [](auto& s) { s.decoderVersion = "9"; }},
        {"exposure nan.", [](auto& s) { s.exposure = std::nanf(""); }},
        {"colorNoiseReductionAmount -0.1.", [](auto& s) { s.colorNoiseReductionAmount = -0.1f; }},
    };
    for (const auto& [named, change] : refused) {
        RAWFilterSettings settings = loaderSettings(1.0f);
        change(settings);
        EXPECT_EQ(failureOf<RAWFilterError>([&] { filter.setSettings(settings); }),
                  std::pair(RAWFilterError::Code::unsupportedSetting,
                            "The RAW filter does not support this setting. " + named));
        EXPECT_EQ(filter.settings(), loaderSettings(1.0f));
    }
}

// Three grey stripes at 0.2, 0.3 and 0.6 of the range, edges at x = 128 and 256, seen by an sRGB
// camera balanced for them.
SyntheticDNGOptions stripes(double noise) {
    SyntheticDNGOptions options;
    options.width = 384;
    options.height = 256;
    options.asShotNeutral = std::array<double, 3>{1.0, 1.0, 1.0};
    options.whiteLevel = 16383;
    options.blackLevels = {512};
    options.scene = [](int x, int) {
        const float level = x < 128 ? 0.2f : x < 256 ? 0.3f : 0.6f;
        return std::array<float, 3>{level, level, level};
    };
    options.shotNoise = 4e-4 * noise;
    options.readNoiseVariance = 4e-5 * noise;
    return options;
}

TEST_F(RAWFilterTest, NoiseReductionSmoothsFlatPatchesAndKeepsEdges) {
    const auto clean = develop(write("clean.dng", stripes(0.0)), 0.0f);
    // About 5 % noise on the darkest stripe, and five times the variance, against which the
    // step from 0.2 to 0.3 stands only four deviations high.
    for (const double noise : {1.0, 5.0}) {
        const auto noisyFile = write("noisy.dng", stripes(noise));
        const auto noisy = develop(noisyFile, 0.0f);
        const auto denoised = develop(noisyFile, 1.0f);
        for (int c = 0; c < 3; ++c) {
            for (const int x : {16, 144, 272}) {  // inside each stripe
                const auto before = statisticsOf(*noisy, c, x, 16, 96, 224);
                const auto after = statisticsOf(*denoised, c, x, 16, 96, 224);
                EXPECT_GE(before.deviation / after.deviation, 2.0);
                EXPECT_NEAR(after.mean, before.mean, 0.01 * before.mean);
            }
            for (const int edge : {128, 256}) {
                // The step between the two columns either side of the edge, over every row.
                const auto step = [&](const Texture& texture) {
                    return statisticsOf(texture, c, edge, 0, 2, 256).mean -
                           statisticsOf(texture, c, edge - 2, 0, 2, 256).mean;
                };
                EXPECT_NEAR(step(*denoised) / step(*clean), 1.0, 0.1);
            }
        }
    }
}

TEST_F(RAWFilterTest, RefusesFilesItCannotDevelop) {
    SyntheticDNGOptions linear;
    linear.linearRaw = true;
    const std::filesystem::path text = folder.path() / "notes.nef";
    std::ofstream(text) << "not a photo";
    const std::vector<std::pair<std::filesystem::path, std::string>> files{
        {write("linear.dng", linear), "three-color Bayer"},
        {testData("exiftool_DNG.dng"), "holds no image data"},
        {text, "Open RAW"},
    };
    for (const auto& [file, reason] : files) {
        const auto [code, message] = failureOf<RAWFilterError>([&] { RAWFilter filter(file); });
        EXPECT_EQ(code, RAWFilterError::Code::unsupportedFile);
        EXPECT_NE(message.find(reason), std::string::npos) << message;
    }
}

}  // namespace
}  // namespace quillmere
