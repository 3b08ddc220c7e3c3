#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/decode/libraw_fallback.h"
#include "core/decode/native_raw_frame.h"
#include "core/decode/raw_loader.h"
#include "core/decode/raw_loader_error.h"
#include "core/decode/raw_texture_kernel.h"
#include "tests/decode/raw_loader_test_support.h"
#include "tests/fixtures/synthetic_dng.h"

namespace quillmere {
namespace {

using loader_testing::FakeRAWFile;
using loader_testing::LoaderTest;
using loader_testing::messageOf;

constexpr auto fit = PreviewResolution::fit;
constexpr auto full = PreviewResolution::full;
constexpr auto detail = DenoiseMethod::matchFilter;

// Photos the fake RAW filter does not know, so RAW files open through LibRaw's development.
class RAWLoaderSensorTest : public LoaderTest {
  protected:
    std::filesystem::path syntheticDNG(const std::string& name,
                                       fixtures::SyntheticDNGOptions options = {}) {
        const auto path = photoPath(name);
        fixtures::writeSyntheticDNG(path, options);
        return path;
    }

    static fixtures::SyntheticDNGOptions noisyScene() {
        fixtures::SyntheticDNGOptions options;
        options.width = 160;
        options.height = 120;
        options.scene = fixtures::gradientScene(160, 120);
        options.shotNoise = 2e-4;
        options.readNoiseVariance = 1e-5;
        return options;
    }

    // Counts the polls of `shouldCancel` and answers true at poll `cancelAt` (never when 0).
    struct CancellationProbe {
        int cancelAt = 0;
        int polls = 0;
        bool operator()() { return ++polls == cancelAt; }
    };

    std::shared_ptr<Texture> detailTexture(const std::filesystem::path& path, bool denoised,
                                           PreviewResolution resolution, CancellationProbe& probe,
                                           std::vector<double>* progress = nullptr) {
        return loader->texture(
            PhotoID{path}, denoised, resolution, detail, false, [&] { return probe(); },
            [&](double fraction) {
                if (progress) progress->push_back(fraction);
            });
    }
};

TEST_F(RAWLoaderSensorTest, RAWFileTheFilterCannotReadOpensThroughLibRaw) {
    fixtures::SyntheticDNGOptions options;
    options.make = "Maker";
    const auto path = syntheticDNG("fallback.dng", options);
    const OpenedPhoto photo = loader->open(path);
    EXPECT_TRUE(photo.isRAW);
    EXPECT_EQ((std::pair{photo.asShotTemperature, photo.asShotTint}), (std::pair{5500.0, 0.0}));
    EXPECT_TRUE(photo.supportsDetailDenoise);
    EXPECT_EQ(photo.exif["{TIFF}"]["Make"], "Maker");
    EXPECT_EQ(loader_testing::sizeOf(photo), (PixelSize{128, 96}));

    // LibRaw's development is the Natural texture, copied into a texture of the engine's own.
    const auto developed = LibRawFallback::decode(path, *device).texture;
    const auto natural = texture(path, false, full);
    EXPECT_EQ(testing::readBytes(*natural), testing::readBytes(*developed));

    RAWLoader withoutDevice(nullptr, provider);
    EXPECT_EQ(messageOf<RAWLoaderError>([&] { withoutDevice.open(path); }),
              "Cannot decode fallback.dng as a supported photo.");
}

TEST_F(RAWLoaderSensorTest, UndenoisedDetailIsTheBridgesDevelopmentOfTheSensor) {
    const auto path = syntheticDNG("sensor.dng", noisyScene());
    loader->open(path);
    const auto expected = NativeRAWFrame::open(path, device)->renderLinearRGB();
    CancellationProbe probe;
    const auto developed = detailTexture(path, false, full, probe);
    EXPECT_EQ(testing::readBytes(*developed), testing::readBytes(*expected));
    // The RAW-texture switch does not apply to Detail.
    EXPECT_EQ(loader->texture(PhotoID{path}, false, full, detail, true, loader_testing::never),
              developed);
    EXPECT_EQ(texture(path, false, fit, detail)->width(), 160);
}

TEST_F(RAWLoaderSensorTest, DenoisedDetailReportsProgressOnlyWhileItWorks) {
    const auto path = syntheticDNG("noisy.dng", noisyScene());
    loader->open(path);
    CancellationProbe probe;
    std::vector<double> progress;
    const auto clean = detailTexture(path, true, full, probe, &progress);
    ASSERT_GE(progress.size(), 3u);
    EXPECT_EQ(progress.front(), 0.0);
    EXPECT_EQ(progress.back(), 1.0);
    for (std::size_t i = 1; i + 1 < progress.size(); ++i) {
        EXPECT_GE(progress[i], 0.02);
        EXPECT_LE(progress[i], 0.96);
        EXPECT_GE(progress[i], progress[i - 1]);
    }
    const auto original = detailTexture(path, false, full, probe);
    EXPECT_NE(testing::readBytes(*clean), testing::readBytes(*original));

    progress.clear();
    EXPECT_EQ(detailTexture(path, true, full, probe, &progress), clean);
    const auto cleanFit = detailTexture(path, true, fit, probe, &progress);
    EXPECT_EQ(testing::readBytes(*cleanFit), testing::readBytes(*clean));
    EXPECT_TRUE(progress.empty());
}

TEST_F(RAWLoaderSensorTest, CancellationAtAnyPollCachesNothing) {
    const auto path = syntheticDNG("cancelled.dng", noisyScene());
    loader->open(path);
    for (const bool denoised : {false, true}) {
        SCOPED_TRACE(denoised ? "denoised" : "undenoised");
        // A full run on a fresh loader counts the polls; the first is made before anything else.
        RAWLoader counting(device, provider);
        counting.open(path);
        int polls = 0;
        counting.texture(PhotoID{path}, denoised, fit, detail, false, [&] { return ++polls < 0; });
        ASSERT_GE(polls, 3);

        for (const int cancelAt : {1, 2, polls / 2, polls}) {
            SCOPED_TRACE(cancelAt);
            CancellationProbe cancelling{cancelAt};
            EXPECT_THROW(detailTexture(path, denoised, fit, cancelling), CancellationError);
            // Nothing was kept: the next request develops again, polling past the first step.
            CancellationProbe counted;
            std::vector<double> progress;
            detailTexture(path, denoised, fit, counted, &progress);
            EXPECT_EQ(counted.polls, polls);
            EXPECT_EQ(progress.empty(), !denoised);
            loader = std::make_unique<RAWLoader>(device, provider);
            loader->open(path);
        }
    }
}

TEST_F(RAWLoaderSensorTest, DetailRefusesASensorCroppedOtherwiseThanThePhoto) {
    const auto path = syntheticDNG("cropped.dng");
    // The RAW filter develops a size that differs from the bridge's crop of the sensor.
    provider->files[path] = FakeRAWFile{.size = PixelSize{126, 94}};
    const OpenedPhoto photo = loader->open(path);
    ASSERT_TRUE(photo.supportsDetailDenoise);
    for (const bool denoised : {false, true}) {
        EXPECT_EQ(messageOf<RAWLoaderError>([&] { texture(path, denoised, fit, detail); }),
                  "Detail does not yet support this camera's crop. Please use Natural for this "
                  "photo.");
    }
    EXPECT_EQ(texture(path, false, full)->width(), 126);
}

TEST_F(RAWLoaderSensorTest, ActivatingAnotherPhotoDropsTheSensorFrame) {
    const auto first = syntheticDNG("first.dng", noisyScene());
    fixtures::SyntheticDNGOptions flat;
    flat.width = 160;
    flat.height = 120;
    const auto second = syntheticDNG("second.dng", flat);
    loader->open(first);
    loader->open(second);
    CancellationProbe probe;
    const auto fromFirst = detailTexture(first, false, full, probe);
    const auto fromSecond = detailTexture(second, false, full, probe);
    EXPECT_NE(testing::readBytes(*fromFirst), testing::readBytes(*fromSecond));
    EXPECT_EQ(testing::readBytes(*detailTexture(first, false, full, probe)),
              testing::readBytes(*fromFirst));
}

}  // namespace
}  // namespace quillmere
