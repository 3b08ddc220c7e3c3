#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/decode/noise_reduction_filter.h"
#include "core/decode/raw_filter.h"
#include "core/decode/raw_loader.h"
#include "core/decode/raw_loader_error.h"
#include "tests/decode/decode_test_support.h"
#include "tests/decode/raw_loader_test_support.h"
#include "tests/fixtures/synthetic_dng.h"

namespace quillmere {
namespace {

using loader_testing::messageOf;
using loader_testing::never;
using testing::testData;

constexpr auto fit = PreviewResolution::fit;
constexpr auto full = PreviewResolution::full;
constexpr auto natural = DenoiseMethod::natural;

// A loader with the program's own RAW filter.
class RAWLoaderWithRAWFilterTest : public ::testing::Test {
  protected:
    std::shared_ptr<Texture> texture(const std::filesystem::path& path, bool denoised,
                                     PreviewResolution resolution, DenoiseMethod method = natural,
                                     bool preserveRAWTexture = false) {
        return loader.texture(PhotoID{path}, denoised, resolution, method, preserveRAWTexture,
                              never);
    }

    std::filesystem::path noisyDNG(const std::string& name, bool linearRaw = false,
                                   std::optional<double> baselineExposure = std::nullopt) {
        fixtures::SyntheticDNGOptions options;
        options.width = 96;
        options.height = 64;
        options.linearRaw = linearRaw;
        options.baselineExposure = baselineExposure;
        options.scene = fixtures::flatScene(0.3f, 0.3f, 0.3f);
        options.shotNoise = 4e-4;
        options.readNoiseVariance = 4e-5;
        const auto path = folder.path() / name;
        fixtures::writeSyntheticDNG(path, options);
        return path;
    }

    testing::TemporaryFolder folder;
    std::shared_ptr<const Device> device = std::make_shared<Device>();
    RAWLoader loader{device};
};

TEST_F(RAWLoaderWithRAWFilterTest, BayerDNGOpensThroughTheRAWFilter) {
    const auto path = noisyDNG("bayer.dng");
    const OpenedPhoto photo = loader.open(path);
    const RAWFilter filter(path);
    EXPECT_EQ(loader_testing::sizeOf(photo), (PixelSize{96, 64}));
    EXPECT_EQ(photo.asShotTemperature, filter.neutralTemperature());
    EXPECT_EQ(photo.asShotTint, filter.neutralTint());
    EXPECT_EQ(photo.exif["{TIFF}"]["Make"], "Quillmere");
    EXPECT_TRUE(photo.isRAW);
    EXPECT_TRUE(photo.supportsDetailDenoise);
    EXPECT_EQ(photo.denoiseBackend, DenoiseBackend::standard);

    // Natural: the filter's development in extended range without the DNG's baseline exposure,
    // and with its full noise reduction for the denoised variant.
    RAWFilterSettings settings = RAWFilter::initialSettings();
    settings.extendedDynamicRangeAmount = 2.0f;
    settings.baselineExposure = 0.0f;
    RAWFilter reference(path);
    for (const bool denoised : {false, true}) {
        settings.luminanceNoiseReductionAmount = denoised ? 1.0f : 0.0f;
        settings.colorNoiseReductionAmount = denoised ? 1.0f : 0.0f;
        reference.setSettings(settings);
        EXPECT_EQ(testing::readBytes(*texture(path, denoised, full)),
                  testing::readBytes(*reference.outputTexture(*device)));
    }
    // Detail's development of the same sensor lines up with it.
    EXPECT_EQ(texture(path, false, fit, DenoiseMethod::matchFilter)->width(), 96);
}

TEST_F(RAWLoaderWithRAWFilterTest, RAWTextureOfABrightenedDNGKeepsTheNaturalBrightness) {
    const auto path = noisyDNG("plus_one_ev.dng", false, 1.0);
    loader.open(path);
    const auto brightness = [&](bool preserveRAWTexture) {
        return testing::statisticsOf(*texture(path, false, full, natural, preserveRAWTexture), 1,
                                     0, 0, 96, 64)
            .mean;
    };
    EXPECT_NEAR(brightness(true) / brightness(false), 1.0, 0.01);
}

TEST_F(RAWLoaderWithRAWFilterTest, DevelopedPhotosAreDenoisedByTheNoiseFilter) {
    const auto jpeg = folder.path() / "photo.jpg";
    loader_testing::writeJpeg(jpeg, {});
    // Three samples a pixel: the RAW filter refuses it and LibRaw develops it.
    const auto linear = noisyDNG("linear.dng", true);
    for (const auto& path : {jpeg, linear}) {
        SCOPED_TRACE(path.filename().string());
        const OpenedPhoto photo = loader.open(path);
        EXPECT_EQ(photo.asShotTemperature, 5500.0);
        const auto original = texture(path, false, full);
        const auto clean = texture(path, true, full);
        const auto expected = reduceTextureNoise(*original, *device, 0.04f);
        EXPECT_EQ(testing::readBytes(*clean), testing::readBytes(*expected));
        EXPECT_NE(testing::readBytes(*clean), testing::readBytes(*original));
    }
}

TEST_F(RAWLoaderWithRAWFilterTest, StrippedDamagedAndForeignFilesAreUnsupported) {
    const auto truncated = noisyDNG("truncated.dng");
    std::filesystem::resize_file(truncated, std::filesystem::file_size(truncated) / 2);
    std::vector<std::filesystem::path> files = {
        testData("exiftool_DNG.dng"),      testData("exiftool_Nikon.nef"),
        testData("exiftool_CanonRaw.crw"), testData("exiftool_FujiFilm.raf"),
        testData("exiftool_CanonRaw.cr2"), truncated,
        folder.path() / "missing.nef"};
    const std::pair<const char*, std::string> written[] = {
        {"notes.txt", "hello"},
        {"empty.jpg", ""},
        {"garbage.heic", std::string(5000, '\x5a')},
        {"truncated.jpeg", std::string("\xff\xd8\xff\xdb") + std::string(64, '\0')},
        {"unknown_camera.nef", std::string("II*\0garbage", 11)},
    };
    for (const auto& [name, bytes] : written) {
        files.push_back(folder.path() / name);
        loader_testing::writeFile(files.back(), bytes);
    }
    for (const std::filesystem::path& path : files) {
        EXPECT_EQ(messageOf<RAWLoaderError>([&] { loader.open(path); }),
                  "Cannot decode " + path.filename().string() + " as a supported photo.");
    }
}

}  // namespace
}  // namespace quillmere
