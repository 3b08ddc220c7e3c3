#include "core/decode/raw_image_properties.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace quillmere {
namespace {

TEST(RawImageProperties, FillsWhatTheExifLeftOpenAndTakesTheDevelopedSize) {
    QXRAWCaptureInfo info{};
    std::strcpy(info.make, "Nikon");
    std::strcpy(info.model, "D70");
    std::strcpy(info.lens, "18-70mm f/3.5-4.5");
    info.iso = 200.0f;
    info.exposure_time = 0.05f;
    info.f_number = std::nanf("");  // unknown, like every value not above 0
    info.focal_length = 18.0f;
    info.timestamp = 1086796955;  // 2004-06-09 16:02:35 UTC; the tests run in UTC
    info.orientation = 6;
    ImageProperties exif;
    exif.make = "NIKON CORPORATION";
    exif.exposureTime = 0.01;
    exif.pixelWidth = 3040;  // the sensor with its margins
    exif.pixelHeight = 2014;

    ImageProperties expected = exif;
    expected.isoSpeedRatings = {200};
    expected.focalLength = 18.0;
    expected.lensModel = "18-70mm f/3.5-4.5";
    expected.dateTimeOriginal = "2004:06:09 16:02:35";
    expected.model = "D70";
    expected.orientation = 6;
    expected.pixelWidth = 3008;
    expected.pixelHeight = 2000;
    EXPECT_EQ(completedRAWProperties(exif, info, 3008, 2000), expected);

    info.iso = 3e9f;  // beyond any camera
    EXPECT_TRUE(completedRAWProperties({}, info, 1, 1).isoSpeedRatings.empty());
}

TEST(RawImageProperties, TurnsLibRawsFlipIntoTheExifOrientation) {
    const int orientationOfFlip[9] = {1, 2, 4, 3, 5, 8, 6, 7, 0};
    for (int flip = 0; flip < 9; ++flip) {
        QXRAWCaptureInfo info{};
        info.orientation = flip;
        EXPECT_EQ(completedRAWProperties({}, info, 1, 1).orientation.value_or(0),
                  orientationOfFlip[flip]);
    }
}

}  // namespace
}  // namespace quillmere
