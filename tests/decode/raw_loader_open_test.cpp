#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/decode/raw_loader.h"
#include "core/decode/raw_loader_error.h"
#include "tests/decode/raw_loader_test_support.h"
#include "tests/fixtures/test_heic.h"

namespace quillmere {
namespace {

using loader_testing::FakeRAWFile;
using loader_testing::LoaderTest;
using loader_testing::messageOf;
using loader_testing::writeFile;
using loader_testing::writeJpeg;

using RAWLoaderOpenTest = LoaderTest;

TEST_F(RAWLoaderOpenTest, JpegReportsItsUprightSizeAndNoCameraData) {
    const auto path = photoPath("portrait.jpg");
    writeJpeg(path, {.width = 64, .height = 48}, {.orientation = 6, .make = "Maker"});
    const OpenedPhoto photo = loader->open(path);
    EXPECT_EQ(photo.id, PhotoID{path});
    EXPECT_EQ(photo.pixelWidth, 48);
    EXPECT_EQ(photo.pixelHeight, 64);
    EXPECT_EQ(photo.asShotTemperature, 5500.0);
    EXPECT_EQ(photo.asShotTint, 0.0);
    EXPECT_FALSE(photo.isRAW);
    EXPECT_FALSE(photo.supportsDetailDenoise);
    EXPECT_EQ(photo.denoiseBackend, DenoiseBackend::standard);
    EXPECT_EQ(photo.exif["{TIFF}"]["Make"], "Maker");
    EXPECT_EQ(photo.exif["Orientation"], 6);
    EXPECT_EQ(log().filtersMade, 0);
}

TEST_F(RAWLoaderOpenTest, HeicReportsItsUprightSizeAndRendersIt) {
    if (!fixtures::canEncodeHeic()) GTEST_SKIP() << "libheif here cannot encode HEVC";
    const auto path = photoPath("turned.HEIC");
    const fixtures::TestPattern pattern{.width = 64, .height = 48};
    writeFile(path, fixtures::encodeTestHeic(
                        fixtures::makePattern(pattern),
                        {.orientation = 8, .exif = fixtures::exifBlock({.model = "Phone"})}));
    const OpenedPhoto photo = loader->open(path);
    EXPECT_EQ(photo.pixelWidth, 48);
    EXPECT_EQ(photo.pixelHeight, 64);
    EXPECT_FALSE(photo.isRAW);
    EXPECT_FALSE(photo.supportsDetailDenoise);
    EXPECT_EQ(photo.exif["{TIFF}"]["Model"], "Phone");
    const auto texture = loader->texture(photo.id, false, PreviewResolution::full,
                                         DenoiseMethod::matchFilter, true, loader_testing::never);
    EXPECT_EQ(texture->width(), 48);
    EXPECT_EQ(texture->height(), 64);
    // Turned a quarter anticlockwise for viewing: the stored top-left marker ends bottom left.
    EXPECT_GT(texture->read(4, 4).x, 0.5f);
    EXPECT_LT(texture->read(4, 60).x, 0.1f);
}

TEST_F(RAWLoaderOpenTest, RAWFilterDescribesItsPhoto) {
    const auto path = fakeRAW(
        "camera.nef", {.temperature = 6100.5f, .tint = -7.25f, .size = PixelSize{300, 200}});
    const OpenedPhoto photo = loader->open(path);
    EXPECT_EQ(photo.pixelWidth, 300);
    EXPECT_EQ(photo.pixelHeight, 200);
    EXPECT_EQ(photo.asShotTemperature, 6100.5);
    EXPECT_EQ(photo.asShotTint, -7.25);
    EXPECT_EQ(photo.exif, (json::Json{{"{TIFF}", {{"Make", "Fake"}}}}));
    EXPECT_TRUE(photo.isRAW);
    EXPECT_EQ(photo.denoiseBackend, DenoiseBackend::standard);
    // Opening develops nothing: the size comes without a decode.
    EXPECT_TRUE(log().developments.empty());
}

TEST_F(RAWLoaderOpenTest, NeuralBackendWhenTheFilterOffersVersionNine) {
    const auto neural = fakeRAW("a.dng", {.decoderVersions = {"8", "9"}});
    const auto neuralDNG = fakeRAW("b.dng", {.decoderVersions = {"8", "9.dng"}});
    const auto near = fakeRAW("c.dng", {.decoderVersions = {"8", "9.1", "90", "9.DNG"}});
    EXPECT_EQ(loader->open(neural).denoiseBackend, DenoiseBackend::neuralRAW9);
    EXPECT_EQ(loader->open(neuralDNG).denoiseBackend, DenoiseBackend::neuralRAW9);
    EXPECT_EQ(loader->open(near).denoiseBackend, DenoiseBackend::standard);
}

TEST_F(RAWLoaderOpenTest, PropertiesFallBackToTheFileWhenTheFilterHasNone) {
    const auto path = photoPath("no_properties.jpg");
    writeJpeg(path, {}, {.model = "From EXIF"});
    // A RAW filter that reads the file (whatever its name) but states no properties.
    const auto raw = photoPath("no_properties.raw");
    std::filesystem::copy_file(path, raw);
    provider->files[raw] = FakeRAWFile{.properties = std::nullopt};
    EXPECT_EQ(loader->open(raw).exif["{TIFF}"]["Model"], "From EXIF");

    const auto missing = fakeRAW("missing.cr3", {.properties = std::nullopt});
    EXPECT_EQ(loader->open(missing).exif, json::Json::object());
}

TEST_F(RAWLoaderOpenTest, OpeningAgainReadsNothingAndKeepsTheActivePhoto) {
    const auto raw = fakeRAW("first.arw");
    const auto jpeg = photoPath("second.jpg");
    writeJpeg(jpeg, {});
    const OpenedPhoto first = loader->open(raw);
    const auto secondTexture = [&] { return texture(jpeg, false, PreviewResolution::full); };
    loader->open(jpeg);
    const auto before = secondTexture();

    // Gone from disk and asked again: the record is remembered, and the JPEG stays active with
    // its cache, so the RAW file's filter is not made again.
    provider->files.clear();
    std::filesystem::remove(jpeg);
    const OpenedPhoto again = loader->open(raw);
    EXPECT_EQ(again.id, first.id);
    EXPECT_EQ(again.pixelWidth, first.pixelWidth);
    EXPECT_EQ(again.exif, first.exif);
    EXPECT_EQ(log().filtersMade, 1);
    EXPECT_EQ(secondTexture(), before);
    EXPECT_EQ(loader->open(jpeg).pixelWidth, 64);
}

TEST_F(RAWLoaderOpenTest, FailedOpenKeepsThePreviousPhotoActive) {
    const auto good = photoPath("good.jpg");
    writeJpeg(good, {});
    loader->open(good);
    const auto cached = texture(good, false, PreviewResolution::fit);
    std::filesystem::remove(good);

    const auto bad = photoPath("bad.jpg");
    writeFile(bad, "\xff\xd8\xff\xe0 not really a JPEG");
    EXPECT_EQ(messageOf<RAWLoaderError>([&] { loader->open(bad); }),
              "Cannot decode bad.jpg as a supported photo.");
    EXPECT_EQ(texture(good, false, PreviewResolution::fit), cached);
}

TEST_F(RAWLoaderOpenTest, AFilterWithoutAnImageLeavesThePhotoActiveButUnopened) {
    for (const auto& [name, file] :
         {std::pair{"no_size.dng", FakeRAWFile{.size = std::nullopt}},
          std::pair{"empty_size.dng", FakeRAWFile{.size = PixelSize{0, 10}}},
          std::pair{"no_height.dng", FakeRAWFile{.size = PixelSize{10, 0}}}}) {
        const auto path = fakeRAW(name, file);
        const int made = log().filtersMade;
        const std::string expected =
            std::string("Cannot decode ") + name + " as a supported photo.";
        EXPECT_EQ(messageOf<RAWLoaderError>([&] { loader->open(path); }), expected);
        EXPECT_EQ(log().filtersMade, made + 1);
        // Still active, so opening again decodes nothing and fails the same way.
        EXPECT_EQ(messageOf<RAWLoaderError>([&] { loader->open(path); }), expected);
        EXPECT_EQ(log().filtersMade, made + 1);
        EXPECT_EQ(messageOf<RAWLoaderError>([&] { texture(path, false, PreviewResolution::fit); }),
                  "Open the photo before rendering it.");
    }
}

}  // namespace
}  // namespace quillmere
