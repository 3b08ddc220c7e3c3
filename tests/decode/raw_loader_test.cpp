#include "core/decode/raw_loader.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/decode/native_raw_error.h"
#include "core/decode/noise_reduction_filter.h"
#include "core/decode/raw_filter.h"
#include "core/decode/raw_loader_error.h"
#include "tests/decode/decode_test_support.h"
#include "tests/decode/raw_loader_test_support.h"
#include "tests/fixtures/hostile_photos.h"
#include "tests/fixtures/test_exif.h"
#include "tests/fixtures/test_heic.h"
#include "tests/fixtures/test_pattern.h"
#include "tests/rawbridge/bridge_test_support.h"

namespace quillmere {
namespace {

using loader_testing::LoaderTest;
using loader_testing::writeFile;
using loader_testing::writeJpeg;
using testing::messageOf;
using testing::testData;

constexpr auto fit = PreviewResolution::fit;
constexpr auto full = PreviewResolution::full;
constexpr auto natural = DenoiseMethod::natural;

TEST(RAWLoaderFitSizeTest, LongEdgeAtMost2048AndNeverZero) {
    const std::pair<PixelSize, PixelSize> sizes[] = {
        {{6000, 4000}, {2048, 1365}}, {{4000, 6000}, {1365, 2048}}, {{1000, 800}, {1000, 800}},
        {{2048, 2048}, {2048, 2048}}, {{1, 5000}, {1, 2048}},       {{5000, 1}, {2048, 1}},
        {{4096, 3}, {2048, 2}},  // 1.5 rows round away from zero
        {{4097, 2049}, {2048, 1024}},
    };
    for (const auto& [full, fit] : sizes) EXPECT_EQ(RAWLoader::fitSize(full), fit) << full.width;
}

// A 96 × 64 Bayer DNG of a noisy grey, brightened by `baselineExposure` EV when given.
fixtures::SyntheticDNGOptions noisyGrey(bool linearRaw = false,
                                        std::optional<double> baselineExposure = std::nullopt) {
    fixtures::SyntheticDNGOptions options;
    options.width = 96;
    options.height = 64;
    options.linearRaw = linearRaw;
    options.baselineExposure = baselineExposure;
    options.scene = fixtures::flatScene(0.3f, 0.3f, 0.3f);
    options.shotNoise = 4e-4;
    options.readNoiseVariance = 4e-5;
    return options;
}

TEST_F(LoaderTest, DescribesRasterAndRAWPhotosUpright) {
    const auto jpeg = photoPath("portrait.jpg");
    writeJpeg(jpeg, {.width = 64, .height = 48}, {.orientation = 6, .make = "Maker"});
    const OpenedPhoto raster = loader->open(jpeg);
    EXPECT_EQ(raster.pixelWidth, 48);
    EXPECT_EQ(raster.pixelHeight, 64);
    EXPECT_EQ((std::pair{raster.asShotTemperature, raster.asShotTint}), (std::pair{5500.0, 0.0}));
    EXPECT_FALSE(raster.isRAW);
    EXPECT_FALSE(raster.supportsDetailDenoise);
    EXPECT_EQ(raster.exif["{TIFF}"]["Make"], "Maker");

    const auto dng = syntheticDNG("bayer.dng", noisyGrey());
    const OpenedPhoto raw = loader->open(dng);
    const RAWFilter filter(dng);
    EXPECT_EQ(raw.pixelWidth, 96);
    EXPECT_EQ(raw.pixelHeight, 64);
    EXPECT_EQ(raw.asShotTemperature, filter.neutralTemperature());
    EXPECT_EQ(raw.asShotTint, filter.neutralTint());
    EXPECT_EQ(raw.exif["{TIFF}"]["Make"], "Quillmere");
    EXPECT_TRUE(raw.isRAW);
    EXPECT_TRUE(raw.supportsDetailDenoise);
    EXPECT_EQ(raw.denoiseBackend, DenoiseBackend::standard);

    // Three samples a pixel: the RAW filter refuses the file and LibRaw develops it.
    const OpenedPhoto fallback = loader->open(syntheticDNG("linear.dng", noisyGrey(true)));
    EXPECT_EQ((std::pair{fallback.asShotTemperature, fallback.asShotTint}),
              (std::pair{5500.0, 0.0}));
    EXPECT_TRUE(fallback.isRAW);
    EXPECT_FALSE(fallback.supportsDetailDenoise);
    // Turned a quarter by its orientation, which LibRaw's development applies: its properties
    // state the size it opens at, completed from what LibRaw read, as the RAW filter's photos'.
    fixtures::SyntheticDNGOptions turned = noisyGrey(true);
    turned.orientation = 6;
    const OpenedPhoto upright = loader->open(syntheticDNG("turned.dng", turned));
    EXPECT_EQ(upright.pixelWidth, 64);
    EXPECT_EQ(upright.pixelHeight, 96);
    EXPECT_EQ(upright.exif["PixelWidth"], 64);
    EXPECT_EQ(upright.exif["PixelHeight"], 96);
    // A Bayer sensor whose black level is its white level: the sensor read refuses it, LibRaw
    // develops it, and the reader that did says its sensor is one the Detail denoiser takes.
    fixtures::SyntheticDNGOptions uncalibrated = noisyGrey();
    uncalibrated.whiteLevel = 1000;
    uncalibrated.blackLevels = {1000};
    const OpenedPhoto bayerFallback = loader->open(syntheticDNG("uncalibrated.dng", uncalibrated));
    EXPECT_EQ((std::pair{bayerFallback.asShotTemperature, bayerFallback.asShotTint}),
              (std::pair{5500.0, 0.0}));
    EXPECT_TRUE(bayerFallback.supportsDetailDenoise);
}

TEST_F(LoaderTest, AHeicStatingItsDisplayedSizeOpensAtTheSizeItDecodesTo) {
    if (!fixtures::canEncodeHeic()) GTEST_SKIP() << "libheif on this machine cannot encode HEVC";
    // Coded 64 × 48 and turned a quarter clockwise, with the 'ispe' stating 48 × 64 as some
    // cameras write it; the EXIF orientation says the same turn.
    const auto heic = photoPath("turned.heic");
    writeFile(heic, fixtures::withMajorBrand(
                        fixtures::withIspeSidesExchanged(fixtures::encodeTestHeic(
                            fixtures::makePattern({.width = 64, .height = 48}),
                            {.orientation = 6, .exif = fixtures::exifBlock({.orientation = 6})})),
                        "mif1"));
    const OpenedPhoto photo = loader->open(heic);
    EXPECT_EQ((std::pair{photo.pixelWidth, photo.pixelHeight}), (std::pair<std::int64_t, std::int64_t>{48, 64}));
    // The properties state the picture before its orientation turns it.
    EXPECT_EQ((std::pair{photo.exif["PixelWidth"], photo.exif["PixelHeight"]}),
              (std::pair{json::Json(64), json::Json(48)}));
    EXPECT_EQ(photo.exif["Orientation"], 6);
}

TEST_F(LoaderTest, NaturalIsTheRAWFiltersExtendedRangeDevelopmentWithoutBaselineExposure) {
    const auto path = syntheticDNG("bright.dng", noisyGrey(false, 1.0));
    loader->open(path);
    RAWFilterSettings settings = RAWFilter::initialSettings();
    settings.extendedDynamicRangeAmount = 2.0f;
    settings.baselineExposure = 0.0f;
    RAWFilter reference(path);
    for (const bool denoised : {false, true}) {
        settings.luminanceNoiseReductionAmount = denoised ? 1.0f : 0.0f;
        settings.colorNoiseReductionAmount = denoised ? 1.0f : 0.0f;
        reference.setSettings(settings);
        EXPECT_EQ(testing::readBytes(*texture(path, denoised, full)),
                  testing::readBytes(*reference.outputTexture()));
    }
    // The RAW texture is the chroma-smoothed undenoised development, as bright as Natural.
    const auto brightness = [&](const Texture& texture) {
        return testing::statisticsOf(texture, 1, 0, 0, 96, 64).mean;
    };
    const auto fine = texture(path, false, full, natural, true);
    EXPECT_NEAR(brightness(*fine) / brightness(*texture(path, false, full)), 1.0, 0.01);
    EXPECT_NE(testing::readBytes(*fine), testing::readBytes(*texture(path, false, full)));
    // It does not apply to the denoised variant, nor to raster photos.
    EXPECT_EQ(texture(path, true, full, natural, true), texture(path, true, full));
    const auto jpeg = photoPath("photo.jpg");
    writeJpeg(jpeg, {});
    loader->open(jpeg);
    EXPECT_EQ(texture(jpeg, false, fit, natural, true), texture(jpeg, false, fit));
    EXPECT_EQ(texture(jpeg, false, fit, DenoiseMethod::matchFilter), texture(jpeg, false, fit));
}

TEST_F(LoaderTest, DevelopedPhotosAreDenoisedByTheNoiseFilter) {
    const auto jpeg = photoPath("photo.jpg");
    writeJpeg(jpeg, {});
    const auto linear = syntheticDNG("linear.dng", noisyGrey(true));
    for (const auto& path : {jpeg, linear}) {
        SCOPED_TRACE(path.filename().string());
        loader->open(path);
        const auto original = texture(path, false, full);
        const auto clean = texture(path, true, full);
        const auto expected = reduceTextureNoise(*original, *device, 0.04f);
        EXPECT_EQ(testing::readBytes(*clean), testing::readBytes(*expected));
        EXPECT_NE(testing::readBytes(*clean), testing::readBytes(*original));
    }
}

TEST_F(LoaderTest, OpeningAgainOrFailingKeepsTheActivePhotoAndItsCache) {
    const auto raw = syntheticDNG("first.dng");
    const auto jpeg = photoPath("second.jpg");
    writeJpeg(jpeg, {});
    const OpenedPhoto first = loader->open(raw);
    loader->open(jpeg);
    const auto cached = texture(jpeg, false, full);
    // Gone from disk and asked again: the record is remembered, the JPEG stays active.
    std::filesystem::remove(raw);
    std::filesystem::remove(jpeg);
    EXPECT_EQ(loader->open(raw).pixelWidth, first.pixelWidth);
    EXPECT_EQ(texture(jpeg, false, full), cached);
    // Rendering it needs the file again, which is missing.
    EXPECT_EQ(messageOf<RAWLoaderError>([&] { texture(raw, false, full); }),
              "The file first.dng was not found in " + raw.parent_path().string() + ".");

    const auto bad = photoPath("bad.jpg");
    writeFile(bad, "\xff\xd8\xff\xe0 not really a JPEG");
    EXPECT_EQ(messageOf<RAWLoaderError>([&] { loader->open(bad); }),
              "Cannot decode bad.jpg as a supported photo.");
    EXPECT_EQ(texture(jpeg, false, full), cached);
    EXPECT_EQ(messageOf<RAWLoaderError>([&] { texture(bad, false, full); }),
              "Open the photo before rendering it.");
}

TEST_F(LoaderTest, StrippedDamagedAndForeignFilesAreUnsupported) {
    const auto truncated = syntheticDNG("truncated.dng", noisyGrey());
    std::filesystem::resize_file(truncated, std::filesystem::file_size(truncated) / 2);
    std::vector<std::filesystem::path> files = {
        testData("exiftool_DNG.dng"),      testData("exiftool_Nikon.nef"),
        testData("exiftool_CanonRaw.crw"), testData("exiftool_FujiFilm.raf"),
        testData("exiftool_CanonRaw.cr2"), truncated,
    };
    const std::pair<const char*, std::string> written[] = {
        {"notes.txt", "hello"},
        {"empty.jpg", ""},
        {"garbage.heic", std::string(5000, '\x5a')},
        {"truncated.jpeg", std::string("\xff\xd8\xff\xdb") + std::string(64, '\0')},
        {"unknown_camera.nef", std::string("II*\0garbage", 11)},
    };
    for (const auto& [name, bytes] : written) {
        files.push_back(photoPath(name));
        writeFile(files.back(), bytes);
    }
    for (const std::filesystem::path& path : files) {
        EXPECT_EQ(messageOf<RAWLoaderError>([&] { loader->open(path); }),
                  "Cannot decode " + path.filename().string() + " as a supported photo.");
    }
    // A file that is not there is missing, not undecodable.
    for (const auto& missing : {photoPath("missing.nef"), photoPath("missing.jpg")}) {
        EXPECT_EQ(messageOf<RAWLoaderError>([&] { loader->open(missing); }),
                  "The file " + missing.filename().string() + " was not found in " +
                      missing.parent_path().string() + ".");
    }
    // Without a device raster photos open but nothing renders, and RAW files do not open.
    RAWLoader withoutDevice(nullptr);
    const auto jpeg = photoPath("photo.jpg");
    writeJpeg(jpeg, {});
    EXPECT_EQ(withoutDevice.open(jpeg).pixelWidth, 64);
    EXPECT_EQ(
        messageOf<RAWLoaderError>([&] {
            withoutDevice.texture(PhotoID{jpeg}, {false, fit, natural, false}, testing::never);
        }),
        "A Metal GPU is required.");
    const auto linear = syntheticDNG("linear.dng", noisyGrey(true));
    EXPECT_EQ(messageOf<RAWLoaderError>([&] { withoutDevice.open(linear); }),
              "Cannot decode linear.dng as a supported photo.");
}

// Counts the polls of `shouldCancel` and answers true at poll `cancelAt` (never when 0).
struct CancellationProbe {
    int cancelAt = 0;
    int polls = 0;
    bool operator()() { return ++polls == cancelAt; }
};

TEST_F(LoaderTest, DetailDevelopsAsTheBridgeReportsProgressAndKeepsNothingCancelled) {
    const auto path = syntheticDNG("sensor.dng", noisyGrey());
    const auto detailTexture = [&](bool denoised, CancellationProbe& probe,
                                   std::vector<double>* progress = nullptr) {
        return loader->texture(
            PhotoID{path}, {denoised, PreviewResolution::full, DenoiseMethod::matchFilter, false},
            [&] { return probe(); },
            [&](double fraction) {
                if (progress) progress->push_back(fraction);
            });
    };
    std::shared_ptr<Texture> developed[2];
    for (const bool denoised : {false, true}) {
        SCOPED_TRACE(denoised ? "denoised" : "undenoised");
        // A full run counts the polls; the first is made before anything else.
        loader->open(path);
        CancellationProbe counting;
        std::vector<double> progress;
        developed[denoised] = detailTexture(denoised, counting, &progress);
        ASSERT_GE(counting.polls, 3);
        if (denoised) {
            ASSERT_GE(progress.size(), 3u);
            EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
            EXPECT_EQ((std::pair{progress.front(), progress.back()}), (std::pair{0.0, 1.0}));
        } else {
            EXPECT_TRUE(progress.empty());
        }

        for (const int cancelAt : {1, 2, counting.polls / 2, counting.polls}) {
            SCOPED_TRACE(cancelAt);
            loader = std::make_unique<RAWLoader>(device);
            loader->open(path);
            CancellationProbe cancelling{cancelAt};
            EXPECT_THROW(detailTexture(denoised, cancelling), CancellationError);
            // Nothing was kept: the next request develops again, polling as often as the first.
            CancellationProbe counted;
            detailTexture(denoised, counted);
            EXPECT_EQ(counted.polls, counting.polls);
        }
    }
    // Undenoised, it is the bridge's own development of the sensor.
    const auto read = rawbridge::testing::readSensor(path);
    const auto rendering = rawbridge::testing::renderSensor(path, read.metadata, read.plane.get());
    ASSERT_EQ(rendering.result, 0) << rendering.error;
    const std::vector<std::byte> bytes = testing::readBytes(*developed[false]);
    EXPECT_EQ(std::memcmp(bytes.data(), rendering.rgba.get(), bytes.size()), 0);
    EXPECT_NE(testing::readBytes(*developed[true]), bytes);
}

// Both Detail variants of one render, developed side by side, are the textures two calls give and
// are cached as those calls cache them; a cancellation or an error on either side reaches the
// caller as it would from the two calls.
TEST_F(LoaderTest, DetailVariantsDevelopedTogetherAreTheTexturesOfTheirOwnCalls) {
    const auto path = syntheticDNG("sensor.dng", noisyGrey());
    const PhotoID id{path};
    const auto freshLoader = [&] {
        loader = std::make_unique<RAWLoader>(device);
        loader->open(path);
    };
    const auto alone = [&](bool denoised, PreviewResolution resolution) {
        return loader->texture(id, {denoised, resolution, DenoiseMethod::matchFilter, false},
                               testing::never);
    };
    std::vector<double> progress;
    const auto together = [&](PreviewResolution resolution, CancellationProbe& probe) {
        progress.clear();
        return loader->sourceAndClean(id, {false, resolution, DenoiseMethod::matchFilter, false},
                                      [&] { return probe(); },
                                      [&](double fraction) { progress.push_back(fraction); });
    };
    // Polls of a request answered from the cache: the one made before anything else.
    const auto pollsOf = [&](bool denoised) {
        CancellationProbe probe;
        loader->texture(id, {denoised, fit, DenoiseMethod::matchFilter, false},
                        [&] { return probe(); });
        return probe.polls;
    };

    int pollsTogether = 0;
    for (const PreviewResolution resolution : {fit, full}) {
        SCOPED_TRACE(resolution == fit ? "fit" : "full");
        freshLoader();
        const std::shared_ptr<Texture> source = alone(false, resolution);
        const std::shared_ptr<Texture> clean = alone(true, resolution);
        freshLoader();
        CancellationProbe counting;
        const auto both = together(resolution, counting);
        pollsTogether = counting.polls;
        EXPECT_EQ(testing::readBytes(*both.source), testing::readBytes(*source));
        EXPECT_EQ(testing::readBytes(*both.clean), testing::readBytes(*clean));
        EXPECT_EQ(alone(false, resolution), both.source);
        EXPECT_EQ(alone(true, resolution), both.clean);
        ASSERT_GE(progress.size(), 3u);
        EXPECT_EQ((std::pair{progress.front(), progress.back()}), (std::pair{0.0, 1.0}));
    }
    ASSERT_GE(pollsTogether, 4);
    freshLoader();
    const int pollsUncached = pollsOf(true);
    ASSERT_GT(pollsUncached, 1);

    // Cancelled at any poll: the denoised variant is never kept.
    for (const int cancelAt : {1, 2, 3, pollsTogether / 2, pollsTogether}) {
        SCOPED_TRACE(cancelAt);
        freshLoader();
        CancellationProbe cancelling{cancelAt};
        EXPECT_THROW(together(full, cancelling), CancellationError);
        EXPECT_EQ(pollsOf(true), pollsUncached);
    }

    // A denoised development that fails keeps the undenoised one, which succeeded.
    ::setenv("QUILLMERE_MATCHFILTER_MODEL", (folder.path() / "missing.onnx").c_str(), 1);
    freshLoader();
    CancellationProbe unused;
    EXPECT_EQ(messageOf<RAWLoaderError>([&] { together(full, unused); }),
              "The configured Detail model does not exist: missing.onnx. Point "
              "QUILLMERE_MATCHFILTER_MODEL at a Detail model, or unset it to use Quillmere’s "
              "own. Model file: " +
                  (folder.path() / "missing.onnx").string());
    EXPECT_EQ(pollsOf(false), 1);
    // When both fail, the undenoised development's error is reported, as when asked first. The
    // sensor is read by a cancelled request; then its reader is killed from outside.
    freshLoader();
    CancellationProbe afterReading{2};
    EXPECT_THROW(together(full, afterReading), CancellationError);
    const std::vector<pid_t> readers = testing::readersOfThisProcess();
    ASSERT_EQ(readers.size(), 1u);
    ::kill(readers.front(), SIGKILL);
    EXPECT_EQ(messageOf<ReadingError>([&] { together(full, unused); }),
              "sensor.dng could not be read this time.");
    ::unsetenv("QUILLMERE_MATCHFILTER_MODEL");
}

}  // namespace
}  // namespace quillmere
