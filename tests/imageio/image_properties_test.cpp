#include "core/imageio/image_properties.h"

#include <gtest/gtest.h>

#include "core/imageio/jpeg/jpeg_encoder.h"
#include "reader/metadata/image_properties_reading.h"
#include "tests/fixtures/test_exif.h"
#include "tests/fixtures/test_heic.h"
#include "tests/fixtures/test_pattern.h"
#include "tests/imageio/metadata_test_support.h"

namespace quillmere {
namespace {

const fixtures::TestExif cameraExif{.orientation = 6,
                                    .isoSpeedRatings = {100, 200},
                                    .make = "Quillmere Test",
                                    .model = "Model One",
                                    .exposureTime = "1/250",
                                    .fNumber = "28/10",
                                    .focalLength = "2396/100",
                                    .lensModel = "Prime 24mm",
                                    .dateTimeOriginal = "2024:05:01 12:30:00"};

TEST(ImageProperties, JpegExifInThePlatformDictionaryLayout) {
    const std::string jpeg = fixtures::withExif(
        encodeJpeg(fixtures::makePattern({.width = 40, .height = 30}), 0.9), cameraExif);
    const json::Json expected = json::Json::parse(R"({
        "{Exif}": {"ISOSpeedRatings": [100, 200], "FocalLength": 23.96, "FNumber": 2.8,
                   "ExposureTime": 0.004, "LensModel": "Prime 24mm",
                   "DateTimeOriginal": "2024:05:01 12:30:00"},
        "{TIFF}": {"Make": "Quillmere Test", "Model": "Model One"},
        "Orientation": 6, "PixelWidth": 40, "PixelHeight": 30})");
    const json::Json properties = testing_support::metadataOfFile(jpeg).properties.json();
    // The raster decoder's own reading of a JPEG's properties agrees.
    EXPECT_EQ(readImagePropertiesData(jpeg).json(), properties);
    EXPECT_EQ(properties, expected) << properties.dump();
    // Numbers are JSON numbers of the right kind, as the capture view accepts them.
    EXPECT_TRUE(properties["{Exif}"]["ISOSpeedRatings"][0].is_number_integer());
    EXPECT_TRUE(properties["{Exif}"]["FNumber"].is_number_float());
}

TEST(ImageProperties, HeicExifIsReadToo) {
    if (!fixtures::canEncodeHeic()) GTEST_SKIP() << "libheif on this machine cannot encode HEVC";
    const std::string heic = fixtures::encodeTestHeic(fixtures::makePattern({}),
                                                      {.exif = fixtures::exifBlock(cameraExif)});
    const ImageProperties properties = testing_support::metadataOfFile(heic).properties;
    EXPECT_EQ(properties.model, "Model One");
    EXPECT_EQ(properties.isoSpeedRatings, (std::vector<std::int64_t>{100, 200}));
}

TEST(ImageProperties, MissingAndUnusableValuesAreLeftOut) {
    EXPECT_EQ(testing_support::metadataOfFile("not an image").properties.json(),
              json::Json::object());
    EXPECT_EQ(testing_support::metadataOfFile("").properties, ImageProperties{});

    // A zero denominator states no exposure; a plain JPEG has its size and nothing else.
    const std::string jpeg =
        fixtures::withExif(encodeJpeg(fixtures::makePattern({.width = 20, .height = 10}), 0.9),
                           {.exposureTime = "1/0"});
    EXPECT_EQ(testing_support::metadataOfFile(jpeg).properties.json(),
              json::Json::parse(R"({"PixelWidth": 20, "PixelHeight": 10})"));
}

}  // namespace
}  // namespace quillmere
