#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "core/compute/lanczos_scale.h"
#include "core/decode/raw_loader.h"
#include "core/decode/raw_loader_error.h"
#include "core/decode/raw_texture_kernel.h"
#include "tests/decode/raw_loader_test_support.h"

namespace quillmere {
namespace {

using loader_testing::DownloadBehaviour;
using loader_testing::FakeRAWFile;
using loader_testing::LoaderTest;
using loader_testing::messageOf;
using loader_testing::writeJpeg;
using msl::float4;

constexpr auto fit = PreviewResolution::fit;
constexpr auto full = PreviewResolution::full;

// Whether a texture is in the form the engine takes.
void expectEngineTexture(const Texture& texture, int width, int height) {
    EXPECT_EQ(texture.pixelFormat(), PixelFormat::rgba16Float);
    EXPECT_EQ(texture.storageMode(), StorageMode::shared);
    EXPECT_EQ(texture.usage(), TextureUsage::shaderRead | TextureUsage::shaderWrite);
    EXPECT_EQ(texture.width(), width);
    EXPECT_EQ(texture.height(), height);
}

TEST(RAWLoaderFitSizeTest, LongEdgeAtMost2048AndNeverZero) {
    const std::pair<PixelSize, PixelSize> sizes[] = {
        {{6000, 4000}, {2048, 1365}}, {{4000, 6000}, {1365, 2048}}, {{1000, 800}, {1000, 800}},
        {{2048, 2048}, {2048, 2048}}, {{1, 5000}, {1, 2048}},       {{5000, 1}, {2048, 1}},
        {{4096, 3}, {2048, 2}},  // 1.5 rows round away from zero
        {{4097, 2049}, {2048, 1024}},
    };
    for (const auto& [full, fit] : sizes) EXPECT_EQ(RAWLoader::fitSize(full), fit) << full.width;
}

using RAWLoaderNaturalTest = LoaderTest;

TEST_F(RAWLoaderNaturalTest, FitIsScaledFromTheCachedFullTextureAndBothAreKept) {
    const auto path = fakeRAW("big.dng", {.size = PixelSize{3000, 1000}});
    loader->open(path);
    const auto fullTexture = texture(path, false, full);
    const auto fitTexture = texture(path, false, fit);
    EXPECT_EQ(log().developments.size(), 1u);
    expectEngineTexture(*fitTexture, 2048, 683);
    const auto expected = testing::makeTexture(*device, PixelFormat::rgba16Float, 2048, 683,
                                               [](int, int) { return float4{}; });
    lanczosScale(*fullTexture, *expected);
    EXPECT_EQ(testing::readBytes(*fitTexture), testing::readBytes(*expected));
    EXPECT_EQ(texture(path, false, full), fullTexture);
    EXPECT_EQ(texture(path, false, fit), fitTexture);

    // Fit first: the full texture made for it is the one a later full request gets.
    const auto small = fakeRAW("small.nef");
    loader->open(small);
    const auto smallFit = texture(small, false, fit);
    EXPECT_EQ(testing::readBytes(*texture(small, false, full)), testing::readBytes(*smallFit));
    EXPECT_EQ(log().developments.size(), 2u);
}

// The camera's defaults with what every Natural decode sets.
RAWFilterSettings neutralDevelopment() {
    RAWFilterSettings settings = loader_testing::FakeRAWFilter::cameraDefaults();
    settings.boostAmount = 0.0f;
    settings.exposure = 0.0f;
    settings.shadowBias = 0.0f;
    settings.gamutMappingEnabled = false;
    settings.extendedDynamicRangeAmount = 2.0f;
    settings.draftModeEnabled = false;
    settings.scaleFactor = 1.0f;
    return settings;
}

TEST_F(RAWLoaderNaturalTest, UndenoisedRAWUsesTheFilterConfiguredAtActivation) {
    const auto dng = fakeRAW("scene.DNG", {.support = {.localToneMap = true,
                                                       .luminanceNoiseReduction = true,
                                                       .colorNoiseReduction = true}});
    const auto nef =
        fakeRAW("scene.nef", {.decoderVersions = {"7"}, .support = {.localToneMap = true}});
    for (const auto& path : {dng, nef}) {
        loader->open(path);
        texture(path, false, full);
    }
    // Only a DNG loses its baseline exposure and tone mapping; unsupported or unoffered settings
    // keep the camera's values.
    RAWFilterSettings fromDNG = neutralDevelopment();
    fromDNG.decoderVersion = "8";
    fromDNG.baselineExposure = 0.0f;
    fromDNG.localToneMapAmount = 0.0f;
    fromDNG.luminanceNoiseReductionAmount = 0.0f;
    fromDNG.colorNoiseReductionAmount = 0.0f;
    EXPECT_EQ(log().developments, (std::vector{fromDNG, neutralDevelopment()}));
    // The development's values above 1 reach the texture.
    EXPECT_EQ(texture(nef, false, full)->read(0, 0).z, 2.0f);
}

TEST_F(RAWLoaderNaturalTest, DenoisedRAWIsASecondDecodeWithNoiseReduction) {
    const auto path = fakeRAW(
        "noisy.cr2",
        {.support = {
             .colorNoiseReduction = true, .sharpness = true, .contrast = true, .detail = true}});
    loader->open(path);
    const auto clean = texture(path, true, full);
    EXPECT_EQ(log().filtersMade, 2);
    // The decoder's default version stays without a neural one.
    RAWFilterSettings expected = neutralDevelopment();
    expected.luminanceNoiseReductionAmount = 1.0f;
    expected.colorNoiseReductionAmount = 1.0f;
    expected.sharpnessAmount = 0.0f;
    expected.contrastAmount = 0.0f;
    expected.detailAmount = 0.0f;
    EXPECT_EQ(log().developments, std::vector{expected});
    EXPECT_EQ(clean->read(0, 0).x, 1.0f);
    EXPECT_EQ(texture(path, true, full), clean);
    EXPECT_NE(texture(path, false, full), clean);
    EXPECT_EQ(log().filtersMade, 2);
}

TEST_F(RAWLoaderNaturalTest, UnsupportedDetailAndDenoisedOrRasterRAWTextureTakeNatural) {
    const auto jpeg = photoPath("photo.jpg");
    writeJpeg(jpeg, {});
    const auto raw = fakeRAW("photo.nef");
    for (const auto& path : {jpeg, raw}) {
        ASSERT_FALSE(loader->open(path).supportsDetailDenoise);
        const auto natural = texture(path, false, fit);
        EXPECT_EQ(texture(path, false, fit, DenoiseMethod::matchFilter), natural);
        const auto clean = texture(path, true, fit);
        EXPECT_EQ(texture(path, true, fit, DenoiseMethod::natural, true), clean);
    }
    EXPECT_EQ(texture(jpeg, false, fit, DenoiseMethod::natural, true), texture(jpeg, false, fit));
}

TEST_F(RAWLoaderNaturalTest, DecoderFailuresHaveTheirSentences) {
    const auto noImage = fakeRAW("no_image.nef", {.developsImage = false});
    const auto reshaped = fakeRAW("reshaped.nef", {.developedSize = PixelSize{30, 40}});
    const auto hostile = fakeRAW("hostile.nef", {.throwsWhileDeveloping = true});
    const struct {
        std::filesystem::path path;
        bool denoised;
        bool preserveRAWTexture;
        std::string message;
    } cases[] = {
        {noImage, false, false, "RAW decoder returned no image."},
        {noImage, true, false, "The denoise decoder returned no image."},
        {noImage, false, true, "Could not decode the RAW texture."},
        {reshaped, false, false, "Denoise changed the image geometry; rendering was stopped."},
        {reshaped, true, false, "Denoise changed the image geometry; rendering was stopped."},
        {reshaped, false, true, "RAW texture changed the image geometry."},
        {hostile, false, false, "Cannot decode hostile.nef as a supported photo."},
        {hostile, false, true, "Cannot decode hostile.nef as a supported photo."},
        {photoPath("never.jpg"), false, false, "Open the photo before rendering it."},
    };
    for (const auto& [path, denoised, preserveRAWTexture, message] : cases) {
        if (provider->files.contains(path)) loader->open(path);
        EXPECT_EQ(messageOf<RAWLoaderError>([&] {
                      texture(path, denoised, full, DenoiseMethod::natural, preserveRAWTexture);
                  }),
                  message);
    }
    // Without a device raster photos open, but nothing renders.
    RAWLoader withoutDevice(nullptr, provider);
    const auto path = photoPath("photo.jpg");
    writeJpeg(path, {});
    EXPECT_EQ(withoutDevice.open(path).pixelWidth, 64);
    EXPECT_EQ(messageOf<RAWLoaderError>([&] {
                  withoutDevice.texture(PhotoID{path}, false, fit, DenoiseMethod::natural, false,
                                        loader_testing::never);
              }),
              "A Metal GPU is required.");
}

using RAWLoaderRAWTextureTest = LoaderTest;

TEST_F(RAWLoaderRAWTextureTest, UndenoisedRAWIsSmoothedInChromaOnly) {
    const auto path = fakeRAW(
        "texture.nef",
        {.support = {.luminanceNoiseReduction = true, .sharpness = true, .moireReduction = true}});
    loader->open(path);
    const auto fine = texture(path, false, full, DenoiseMethod::natural, true);
    EXPECT_EQ(log().filtersMade, 2);
    // The Natural development with noise reduction, sharpening and moiré reduction off where
    // offered; a camera's own RAW keeps its baseline exposure and tone mapping.
    RAWFilterSettings settings = neutralDevelopment();
    settings.decoderVersion = "8";
    settings.luminanceNoiseReductionAmount = 0.0f;
    settings.sharpnessAmount = 0.0f;
    settings.moireReductionAmount = 0.0f;
    EXPECT_EQ(log().developments, std::vector{settings});

    // The chroma kernel over the half-float decode.
    const auto decoded = testing::makeTexture(
        *device, PixelFormat::rgba16Float, 40, 30,
        [&](int x, int y) { return loader_testing::fakeTexel(settings, x, y); });
    const auto expected = testing::makeTexture(*device, PixelFormat::rgba16Float, 40, 30,
                                               [](int, int) { return float4{}; });
    const auto buffer = device->makeCommandQueue()->makeCommandBuffer();
    RAWTextureKernel().encode(decoded, expected, *buffer);
    buffer->commit();
    expectEngineTexture(*fine, 40, 30);
    EXPECT_EQ(testing::readBytes(*fine), testing::readBytes(*expected));

    const auto fineFit = texture(path, false, fit, DenoiseMethod::natural, true);
    EXPECT_EQ(testing::readBytes(*fineFit), testing::readBytes(*fine));
    EXPECT_EQ(texture(path, false, full, DenoiseMethod::natural, true), fine);
    EXPECT_EQ(texture(path, false, fit, DenoiseMethod::natural, true), fineFit);
    EXPECT_EQ(log().filtersMade, 2);
}

class RAWLoaderNeuralTest : public LoaderTest {
  protected:
    RAWLoaderNeuralTest() {
        loader = std::make_unique<RAWLoader>(
            device, provider,
            NeuralModelTimeouts{std::chrono::milliseconds(20), std::chrono::milliseconds(60)});
    }
};

TEST_F(RAWLoaderNeuralTest, TheNeuralDecoderDenoisesOnlyOnceItsModelIsThere) {
    const auto ready = fakeRAW("neural.dng", {.decoderVersions = {"8", "9.dng"}});
    loader->open(ready);
    texture(ready, true, full);
    RAWFilterSettings expected = neutralDevelopment();
    expected.decoderVersion = "9.dng";
    expected.baselineExposure = 0.0f;
    expected.luminanceNoiseReductionAmount = 0.8f;
    EXPECT_EQ(log().developments, std::vector{expected});

    const auto failed =
        fakeRAW("failed.arw", {.decoderVersions = {"9"}, .download = DownloadBehaviour::fails});
    loader->open(failed);
    EXPECT_EQ(messageOf<RAWLoaderError>([&] { texture(failed, true, fit); }),
              "Could not prepare the local denoise model: The Internet connection appears to be "
              "offline.");

    const auto offline = fakeRAW("offline.arw", {.decoderVersions = {"8", "9"},
                                                 .download = DownloadBehaviour::neverCompletes});
    loader->open(offline);
    const std::string timedOut =
        "The local denoise model could not be prepared. Please try again when online.";
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(messageOf<RAWLoaderError>([&] { texture(offline, true, fit); }), timedOut);
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(60));
    EXPECT_EQ(log().downloadsCancelled, 1);
    EXPECT_EQ(messageOf<RAWLoaderError>([&] { texture(offline, true, fit); }), timedOut);
    EXPECT_EQ(log().downloadsStarted, 4) << "tried again";
    // The downloads report long after the loader stopped waiting for them.
    for (auto& completion : log().pendingCompletions) completion(std::nullopt);
    EXPECT_EQ(log().developments.size(), 1u);
}

}  // namespace
}  // namespace quillmere
