#include "core/decode/raw_filter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>

#include "core/decode/raw_filter_adapter.h"
#include "core/decode/raw_filter_error.h"
#include "tests/decode/decode_test_support.h"
#include "tests/fixtures/temporary_folder.h"
#include "tests/fixtures/synthetic_dng.h"

namespace quillmere {
namespace {

using fixtures::SyntheticDNGOptions;
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

// The RAWFilterError that `action` throws, with its text in `message`.
RAWFilterError::Code failureOf(const std::function<void()>& action,
                               std::string* message = nullptr) {
    try {
        action();
    } catch (const RAWFilterError& error) {
        if (message != nullptr) *message = error.what();
        return error.code();
    }
    ADD_FAILURE() << "expected a RAWFilterError";
    return RAWFilterError::Code::developFailed;
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
        return filter.outputTexture(device);
    }

    testing::TemporaryFolder folder;
    Device device;
};

TEST_F(RAWFilterTest, DescribesAPhotoBeforeDevelopingIt) {
    SyntheticDNGOptions options;
    options.width = 130;
    options.height = 98;
    options.orientation = 6;
    options.iso = 400;
    options.asShotNeutral = std::array<double, 3>{1.0, 1.0, 1.0};  // the sRGB camera's D65
    options.baselineExposure = 0.5;
    const RAWFilter filter(write("turned.dng", options));
    EXPECT_EQ(filter.outputWidth(), 98);  // turned
    EXPECT_EQ(filter.outputHeight(), 130);
    EXPECT_NEAR(filter.neutralTemperature(), 6504.0f, 15.0f);
    EXPECT_NEAR(filter.neutralTint(), 9.5f, 1.5f);
    EXPECT_EQ(filter.properties().model, "Synthetic Sensor");
    EXPECT_EQ(filter.properties().isoSpeedRatings, std::vector<std::int64_t>{400});
    EXPECT_EQ(filter.properties().orientation, 6);
    EXPECT_EQ(filter.properties().pixelWidth, 130);  // the developed size before orientation
    RAWFilterSettings expected = RAWFilter::initialSettings();
    expected.baselineExposure = 0.5f;
    EXPECT_EQ(filter.settings(), expected);
    EXPECT_EQ(RAWFilter::supportedDecoderVersions(), std::vector<std::string>{"8"});
}

TEST_F(RAWFilterTest, DevelopsWhatTheBridgeDevelopsScaledAndClippedAsSet) {
    // The as-shot neutral doubles red, so a red at 0.8 of the range develops to 1.6.
    SyntheticDNGOptions options;
    options.asShotNeutral = std::array<double, 3>{0.5, 1.0, 1.0};
    options.scene = [](int x, int) { return std::array<float, 3>{0.8f, 0.2f + x / 512.0f, 0.4f}; };
    const std::filesystem::path file = write("bright.dng", options);
    RAWFilter filter(file);
    filter.setSettings(loaderSettings(0.0f));
    const std::shared_ptr<Texture> unscaled = filter.outputTexture(device);
    EXPECT_EQ(unscaled->pixelFormat(), PixelFormat::rgba16Float);
    EXPECT_EQ(unscaled->usage(), TextureUsage::shaderRead | TextureUsage::shaderWrite);
    EXPECT_EQ(unscaled->storageMode(), StorageMode::shared);

    QXRAWMetadata metadata{};
    float* plane = nullptr;
    std::uint16_t* rgba = nullptr;
    char error[1024] = {};
    ASSERT_EQ(qx_raw_read(file.c_str(), &metadata, &plane, error, sizeof error), 0) << error;
    ASSERT_EQ(qx_raw_render(file.c_str(), &metadata, plane, &rgba, error, sizeof error), 0);
    const std::vector<std::byte> bytes = testing::readBytes(*unscaled);
    EXPECT_EQ(std::memcmp(bytes.data(), rgba, bytes.size()), 0);
    qx_raw_free(rgba);
    qx_raw_free(plane);

    RAWFilterSettings settings = loaderSettings(0.0f);
    settings.exposure = 1.0f;
    filter.setSettings(settings);
    const auto brighter = filter.outputTexture(device);
    EXPECT_NEAR(statisticsOf(*brighter, 1, 8, 8, 100, 80).mean,
                2.0 * statisticsOf(*unscaled, 1, 8, 8, 100, 80).mean, 2e-3);
    settings.exposure = 0.0f;
    settings.extendedDynamicRangeAmount = 0.0f;  // standard dynamic range
    filter.setSettings(settings);
    EXPECT_NEAR(statisticsOf(*unscaled, 0, 8, 8, 100, 80).mean, 1.6, 5e-3);
    EXPECT_EQ(statisticsOf(*filter.outputTexture(device), 0, 8, 8, 100, 80).mean, 1.0);
}

TEST_F(RAWFilterTest, RefusesSettingsItCannotHonourAndKeepsItsOwn) {
    RAWFilter filter(write("grey.dng", SyntheticDNGOptions{}));
    filter.setSettings(loaderSettings(1.0f));
    const std::vector<std::pair<std::string, std::function<void(RAWFilterSettings&)>>> refused{
        {"decoderVersion \"9\".", [](auto& s) { s.decoderVersion = "9"; }},
        {"boostAmount 1.", [](auto& s) { s.boostAmount = 1.0f; }},
        {"exposure nan.", [](auto& s) { s.exposure = std::nanf(""); }},
        {"gamutMappingEnabled on.", [](auto& s) { s.gamutMappingEnabled = true; }},
        {"colorNoiseReductionAmount -0.1.", [](auto& s) { s.colorNoiseReductionAmount = -0.1f; }},
        {"localToneMapAmount 1.", [](auto& s) { s.localToneMapAmount = 1.0f; }},
    };
    for (const auto& [named, change] : refused) {
        RAWFilterSettings settings = loaderSettings(1.0f);
        change(settings);
        std::string message;
        EXPECT_EQ(failureOf([&] { filter.setSettings(settings); }, &message),
                  RAWFilterError::Code::unsupportedSetting);
        EXPECT_EQ(message, "The RAW filter does not support this setting. " + named);
        EXPECT_EQ(filter.settings(), loaderSettings(1.0f));
    }
}

// A camera whose AsShotNeutral is what its ColorMatrix1 (a Canon EOS 350D's) makes of a standard
// illuminant.
TEST_F(RAWFilterTest, ReadsTheAsShotTemperatureOfAStandardIlluminant) {
    const std::array<double, 9> canon{0.6018, -0.0617, -0.0965, -0.8645, 1.5881,
                                      0.2975, -0.153,  0.1719,  0.7642};
    const std::array<std::array<double, 3>, 3> illuminants{
        {{0.44757, 0.40745, 2856.0}, {0.34567, 0.35850, 5003.0}, {0.31271, 0.32902, 6504.0}}};
    for (const auto& [x, y, kelvin] : illuminants) {
        const double xyz[3] = {x / y, 1.0, (1.0 - x - y) / y};
        std::array<double, 3> neutral;
        for (int row = 0; row < 3; ++row) {
            neutral[row] =
                canon[row * 3] * xyz[0] + canon[row * 3 + 1] * xyz[1] + canon[row * 3 + 2] * xyz[2];
        }
        SyntheticDNGOptions options;
        options.colorMatrix1 = canon;
        options.asShotNeutral =
            std::array<double, 3>{neutral[0] / neutral[1], 1.0, neutral[2] / neutral[1]};
        const RAWFilter filter(write("illuminant.dng", options));
        EXPECT_NEAR(filter.neutralTemperature(), kelvin, 100.0);
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
    SyntheticDNGOptions gradient;
    gradient.scene = fixtures::gradientScene(gradient.width, gradient.height);
    const std::filesystem::path cut = write("cut.dng", gradient);
    std::filesystem::resize_file(cut,
                                 std::filesystem::file_size(cut) / 2);  // its directory is last
    const std::vector<std::pair<std::filesystem::path, std::string>> files{
        {write("linear.dng", linear), "three-color Bayer"},
        {testData("exiftool_DNG.dng"), "holds no image data"},
        {testData("exiftool_CanonRaw.cr2"), "Open RAW"},
        {text, "Open RAW"},
        {cut, "Open RAW"},
    };
    for (const auto& [file, reason] : files) {
        std::string message;
        EXPECT_EQ(failureOf([&] { RAWFilter filter(file); }, &message),
                  RAWFilterError::Code::unsupportedFile);
        EXPECT_NE(message.find(reason), std::string::npos) << message;
    }
}

TEST_F(RAWFilterTest, FiltersOfOnePhotoShareOneReadOfItsFile) {
    const std::filesystem::path file = write("shared.dng", SyntheticDNGOptions{});
    const RAWFilterAdapterProvider provider;
    const auto fileOf = [&] {
        const std::unique_ptr<ConfigurableRAWFilter> filter = provider.makeFilter(file);
        return dynamic_cast<const RAWFilterAdapter&>(*filter).rawFile();
    };
    const std::shared_ptr<const RAWFile> first = fileOf();
    EXPECT_EQ(fileOf(), first);

    // The shared read serves every setting: denoised, then as read.
    RAWFilter denoising(first);
    denoising.setSettings(loaderSettings(1.0f));
    const auto denoised = denoising.outputTexture(device);
    RAWFilter plain(first);
    plain.setSettings(loaderSettings(0.0f));
    const auto developed = plain.outputTexture(device);
    const auto expectSameTexels = [](const Texture& a, const Texture& b) {
        for (int y = 0; y < a.height(); ++y) {
            ASSERT_EQ(std::memcmp(a.rowData(y), b.rowData(y), a.bytesPerRow()), 0) << y;
        }
    };
    expectSameTexels(*develop(file, 0.0f), *developed);
    expectSameTexels(*develop(file, 1.0f), *denoised);

    // A file that changed is read anew; the provider keeps no read alive on its own.
    SyntheticDNGOptions brighter;
    brighter.scene = fixtures::flatScene(0.5f, 0.5f, 0.5f);
    fixtures::writeSyntheticDNG(file, brighter);
    std::shared_ptr<const RAWFile> changed = fileOf();
    EXPECT_NE(changed, first);
    EXPECT_EQ(fileOf(), changed);
    const std::weak_ptr<const RAWFile> watched = changed;
    changed.reset();
    EXPECT_TRUE(watched.expired());
}

}  // namespace
}  // namespace quillmere
