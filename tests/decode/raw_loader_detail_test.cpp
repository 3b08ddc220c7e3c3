#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/decode/libraw_fallback.h"
#include "core/decode/raw_loader.h"
#include "tests/decode/raw_loader_test_support.h"
#include "tests/rawbridge/bridge_test_support.h"
#include "tests/fixtures/synthetic_dng.h"

namespace quillmere {
namespace {

using loader_testing::LoaderTest;
using loader_testing::never;

constexpr auto fit = PreviewResolution::fit;
constexpr auto full = PreviewResolution::full;
constexpr auto detail = DenoiseMethod::matchFilter;

// Makes no filters, so RAW files open through LibRaw's development.
class NoRAWFilters final : public RAWFilterProvider {
  public:
    std::unique_ptr<ConfigurableRAWFilter> makeFilter(const std::filesystem::path&) const override {
        return nullptr;
    }
};

class RAWLoaderSensorTest : public LoaderTest {
  protected:
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
    RAWLoader loader(device, std::make_shared<NoRAWFilters>());
    const OpenedPhoto photo = loader.open(path);
    EXPECT_TRUE(photo.isRAW);
    EXPECT_EQ((std::pair{photo.asShotTemperature, photo.asShotTint}), (std::pair{5500.0, 0.0}));
    EXPECT_TRUE(photo.supportsDetailDenoise);
    EXPECT_EQ(photo.exif["{TIFF}"]["Make"], "Maker");
    EXPECT_EQ(loader_testing::sizeOf(photo), (PixelSize{128, 96}));

    // LibRaw's development is the Natural texture, copied into a texture of the engine's own.
    const auto developed = LibRawFallback::decode(path, *device).texture;
    const auto natural =
        loader.texture(PhotoID{path}, false, full, DenoiseMethod::natural, false, never);
    EXPECT_EQ(testing::readBytes(*natural), testing::readBytes(*developed));

}

TEST_F(RAWLoaderSensorTest, UndenoisedDetailIsTheBridgesDevelopmentOfTheSensor) {
    const auto path = syntheticDNG("sensor.dng", noisyScene());
    loader->open(path);
    const auto read = rawbridge::testing::readSensor(path);
    const auto rendering = rawbridge::testing::renderSensor(path, read.metadata, read.plane.get());
    ASSERT_EQ(rendering.result, 0) << rendering.error;
    CancellationProbe probe;
    const auto developed = detailTexture(path, false, full, probe);
    const std::vector<std::byte> bytes = testing::readBytes(*developed);
    EXPECT_EQ(std::memcmp(bytes.data(), rendering.rgba.get(), bytes.size()), 0);
}

TEST_F(RAWLoaderSensorTest, DenoisedDetailReportsProgressOnlyWhileItWorks) {
    const auto path = syntheticDNG("noisy.dng", noisyScene());
    loader->open(path);
    CancellationProbe probe;
    std::vector<double> progress;
    const auto clean = detailTexture(path, true, full, probe, &progress);
    ASSERT_GE(progress.size(), 3u);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_EQ((std::pair{progress.front(), progress.back()}), (std::pair{0.0, 1.0}));
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
        RAWLoader counting(device);
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
            loader = std::make_unique<RAWLoader>(device);
            loader->open(path);
        }
    }
}

}  // namespace
}  // namespace quillmere
