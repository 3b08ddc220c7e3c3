#include <gtest/gtest.h>

#include <array>
#include <string>

#include "tests/rawbridge/bridge_test_support.h"

namespace quillmere::rawbridge {
namespace {

using testing::testData;

TEST(CaptureInfo, TakesBothCalibratedMatricesOfARealDNG) {
    // The file's ColorMatrix1 is for Standard Light A and its ColorMatrix2 for D65; its
    // CameraCalibration scales the rows by 1.0069, 1 and 1.0027; BaselineExposure is 0.25.
    const std::string path = testData("exiftool_DNG.dng");
    QXRAWCaptureInfo info{};
    char error[1024] = {};
    ASSERT_EQ(qx_raw_read_capture_info(path.c_str(), &info, error, sizeof error), 0) << error;
    EXPECT_STREQ(info.make, "Canon");
    EXPECT_EQ(info.baseline_exposure, 0.25f);
    EXPECT_NEAR(info.exposure_time, 1.0f / 15.0f, 1e-6f);
    EXPECT_EQ((std::array{info.iso, info.f_number, info.focal_length}),
              (std::array{400.0f, 8.0f, 55.0f}));
    ASSERT_EQ(info.colour_matrix_count, 2);
    EXPECT_EQ(info.calibration_illuminant[0], 17);
    EXPECT_EQ(info.calibration_illuminant[1], 21);
    EXPECT_NEAR(info.xyz_to_camera[0][0], 1.0069f * 0.6159f, 1e-4f);
    EXPECT_NEAR(info.xyz_to_camera[1][0], 1.0069f * 0.6018f, 1e-4f);
    EXPECT_NEAR(info.xyz_to_camera[1][4], 1.5881f, 1e-4f);
    EXPECT_NEAR(info.xyz_to_camera[1][8], 1.0027f * 0.7642f, 1e-4f);
}

TEST(CaptureInfo, FailsWithLibRawsReason) {
    const std::string path = testData("missing.dng");
    QXRAWCaptureInfo info{};
    char error[1024] = {};
    EXPECT_EQ(qx_raw_read_capture_info(path.c_str(), &info, error, sizeof error), -1);
    EXPECT_STREQ(error, "Open RAW: Input/output error");
}

}  // namespace
}  // namespace quillmere::rawbridge
