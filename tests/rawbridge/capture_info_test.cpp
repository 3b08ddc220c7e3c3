#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

#include "tests/rawbridge/bridge_test_support.h"

namespace quillmere::rawbridge {
namespace {

using fixtures::SyntheticDNGOptions;
using testing::TemporaryFolder;
using testing::testData;

struct CaptureRead {
    std::int32_t result = 0;
    QXRAWCaptureInfo info{};
    std::string error;
};

CaptureRead readCapture(const std::string& path) {
    CaptureRead read;
    char error[1024] = {};
    read.result = qx_raw_read_capture_info(path.c_str(), &read.info, error, sizeof error);
    read.error = error;
    return read;
}

std::array<float, 9> matrix(const QXRAWCaptureInfo& info, int index) {
    std::array<float, 9> values;
    std::memcpy(values.data(), info.xyz_to_camera[index], sizeof info.xyz_to_camera[index]);
    return values;
}

TEST(CaptureInfo, TakesBothCalibratedMatricesOfARealDNG) {
    // The file's ColorMatrix1 is for Standard Light A and its ColorMatrix2 for D65; its
    // CameraCalibration scales the rows by 1.0069, 1 and 1.0027; BaselineExposure is 0.25.
    const auto read = readCapture(testData("exiftool_DNG.dng"));
    ASSERT_EQ(read.result, 0) << read.error;
    const QXRAWCaptureInfo& info = read.info;
    EXPECT_STREQ(info.make, "Canon");
    EXPECT_EQ(info.baseline_exposure, 0.25f);
    EXPECT_NEAR(info.exposure_time, 1.0f / 15.0f, 1e-6f);
    EXPECT_EQ((std::array{info.iso, info.f_number, info.focal_length}),
              (std::array{400.0f, 8.0f, 55.0f}));
    ASSERT_EQ(info.colour_matrix_count, 2);
    EXPECT_EQ(info.calibration_illuminant[0], 17);
    EXPECT_EQ(info.calibration_illuminant[1], 21);
    EXPECT_NEAR(matrix(info, 0)[0], 1.0069f * 0.6159f, 1e-4f);
    EXPECT_NEAR(matrix(info, 1)[0], 1.0069f * 0.6018f, 1e-4f);
    EXPECT_NEAR(matrix(info, 1)[4], 1.5881f, 1e-4f);
    EXPECT_NEAR(matrix(info, 1)[8], 1.0027f * 0.7642f, 1e-4f);
}

TEST(CaptureInfo, FailsWithLibRawsReason) {
    EXPECT_EQ(readCapture(testData("missing.dng")).error, "Open RAW: Input/output error");
    EXPECT_EQ(readCapture(testData("exiftool_CanonRaw.cr2")).result, -1);
}

}  // namespace
}  // namespace quillmere::rawbridge
