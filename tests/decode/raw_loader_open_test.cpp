#include <gtest/gtest.h>

#include <filesystem>

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

TEST_F(RAWLoaderOpenTest, DescribesEachKindOfPhotoWithoutDevelopingIt) {
    const auto jpeg = photoPath("portrait.jpg");
    writeJpeg(jpeg, {.width = 64, .height = 48}, {.orientation = 6, .make = "Maker"});
    const OpenedPhoto raster = loader->open(jpeg);
    EXPECT_EQ(raster.id, PhotoID{jpeg});
    EXPECT_EQ(loader_testing::sizeOf(raster), (PixelSize{48, 64})) << "upright";
    EXPECT_EQ((std::pair{raster.asShotTemperature, raster.asShotTint}), (std::pair{5500.0, 0.0}));
    EXPECT_FALSE(raster.isRAW);
    EXPECT_FALSE(raster.supportsDetailDenoise);
    EXPECT_EQ(raster.exif["{TIFF}"]["Make"], "Maker");
    EXPECT_EQ(raster.exif["Orientation"], 6);
    EXPECT_EQ(log().filtersMade, 0);

    const OpenedPhoto raw = loader->open(fakeRAW(
        "camera.nef", {.temperature = 6100.5f, .tint = -7.25f, .size = PixelSize{300, 200}}));
    EXPECT_EQ(loader_testing::sizeOf(raw), (PixelSize{300, 200}));
    EXPECT_EQ((std::pair{raw.asShotTemperature, raw.asShotTint}), (std::pair{6100.5, -7.25}));
    EXPECT_EQ(raw.exif, (json::Json{{"{TIFF}", {{"Make", "Fake"}}}}));
    EXPECT_TRUE(raw.isRAW);
    EXPECT_TRUE(log().developments.empty());

    // The neural backend needs exactly version "9" or "9.dng" on offer.
    const std::pair<std::vector<std::string>, DenoiseBackend> offers[] = {
        {{"8", "9"}, DenoiseBackend::neuralRAW9},
        {{"8", "9.dng"}, DenoiseBackend::neuralRAW9},
        {{"8", "9.1", "90", "9.DNG"}, DenoiseBackend::standard},
        {{"8"}, DenoiseBackend::standard},
    };
    int file = 0;
    for (const auto& [versions, backend] : offers) {
        const auto path = fakeRAW(std::to_string(++file) + ".dng", {.decoderVersions = versions});
        EXPECT_EQ(loader->open(path).denoiseBackend, backend) << file;
    }
}

TEST_F(RAWLoaderOpenTest, HeicReportsItsUprightSizeAndRendersIt) {
    if (!fixtures::canEncodeHeic()) GTEST_SKIP() << "libheif here cannot encode HEVC";
    const auto path = photoPath("turned.HEIC");
    writeFile(path, fixtures::encodeTestHeic(
                        fixtures::makePattern({.width = 64, .height = 48}),
                        {.orientation = 8, .exif = fixtures::exifBlock({.model = "Phone"})}));
    const OpenedPhoto photo = loader->open(path);
    EXPECT_EQ(loader_testing::sizeOf(photo), (PixelSize{48, 64}));
    EXPECT_EQ(photo.exif["{TIFF}"]["Model"], "Phone");
    const auto texture = loader->texture(photo.id, false, PreviewResolution::full,
                                         DenoiseMethod::matchFilter, true, loader_testing::never);
    // Turned a quarter anticlockwise for viewing: the stored top-left marker ends bottom left.
    EXPECT_GT(texture->read(4, 4).x, 0.5f);
    EXPECT_LT(texture->read(4, 60).x, 0.1f);
}

TEST_F(RAWLoaderOpenTest, PropertiesFallBackToTheFileWhenTheFilterHasNone) {
    const auto path = photoPath("no_properties.jpg");
    writeJpeg(path, {}, {.model = "From EXIF"});
    const auto raw = photoPath("no_properties.raw");
    std::filesystem::copy_file(path, raw);
    provider->files[raw] = FakeRAWFile{.properties = std::nullopt};
    EXPECT_EQ(loader->open(raw).exif["{TIFF}"]["Model"], "From EXIF");
    EXPECT_EQ(loader->open(fakeRAW("missing.cr3", {.properties = std::nullopt})).exif,
              json::Json::object());
}

TEST_F(RAWLoaderOpenTest, OpeningAgainOrFailingKeepsTheActivePhotoAndItsCache) {
    const auto raw = fakeRAW("first.arw");
    const auto jpeg = photoPath("second.jpg");
    writeJpeg(jpeg, {});
    const OpenedPhoto first = loader->open(raw);
    loader->open(jpeg);
    const auto cached = texture(jpeg, false, PreviewResolution::full);
    // Gone from disk and asked again: the record is remembered, the JPEG stays active.
    provider->files.clear();
    std::filesystem::remove(jpeg);
    EXPECT_EQ(loader->open(raw).pixelWidth, first.pixelWidth);
    EXPECT_EQ(log().filtersMade, 1);
    EXPECT_EQ(texture(jpeg, false, PreviewResolution::full), cached);

    const auto bad = photoPath("bad.jpg");
    writeFile(bad, "\xff\xd8\xff\xe0 not really a JPEG");
    EXPECT_EQ(messageOf<RAWLoaderError>([&] { loader->open(bad); }),
              "Cannot decode bad.jpg as a supported photo.");
    EXPECT_EQ(texture(jpeg, false, PreviewResolution::full), cached);
}

TEST_F(RAWLoaderOpenTest, AFilterWithoutAnImageLeavesThePhotoActiveButUnopened) {
    for (const auto& [name, size] : {std::pair{"no_size.dng", std::optional<PixelSize>{}},
                                     std::pair{"no_width.dng", std::optional{PixelSize{0, 10}}}}) {
        const auto path = fakeRAW(name, {.size = size});
        const std::string expected =
            std::string("Cannot decode ") + name + " as a supported photo.";
        EXPECT_EQ(messageOf<RAWLoaderError>([&] { loader->open(path); }), expected);
        const int made = log().filtersMade;
        EXPECT_EQ(messageOf<RAWLoaderError>([&] { loader->open(path); }), expected);
        EXPECT_EQ(log().filtersMade, made) << "still active: nothing is decoded again";
        EXPECT_EQ(messageOf<RAWLoaderError>([&] { texture(path, false, PreviewResolution::fit); }),
                  "Open the photo before rendering it.");
    }
}

}  // namespace
}  // namespace quillmere
