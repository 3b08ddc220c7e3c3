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

TEST(CaptureInfo, ReadsASyntheticDNGsCaptureAndColour) {
    const TemporaryFolder folder;
    SyntheticDNGOptions options;
    options.iso = 640;
    options.orientation = 8;
    options.asShotNeutral = std::array<double, 3>{0.5, 1.0, 0.8};
    options.colorMatrix1 = {0.6018, -0.0617, -0.0965, -0.8645, 1.5881,
                            0.2975, -0.153,  0.1719,  0.7642};
    const auto read = readCapture(folder.dng("capture.dng", options));
    ASSERT_EQ(read.result, 0) << read.error;
    const QXRAWCaptureInfo& info = read.info;
    EXPECT_STREQ(info.make, "Quillmere");
    EXPECT_STREQ(info.model, "Synthetic Sensor");
    EXPECT_STREQ(info.lens, "");
    EXPECT_EQ(info.iso, 640.0f);
    EXPECT_EQ(info.orientation, 5);  // LibRaw's flip for TIFF orientation 8
    EXPECT_EQ(info.baseline_exposure, 0.0f);
    // The multipliers are the reciprocals of the neutral: (2, 1, 1.25).
    EXPECT_NEAR(info.white_balance[0], 2.0f, 1e-5f);
    EXPECT_NEAR(info.white_balance[1], 1.0f, 1e-5f);
    EXPECT_NEAR(info.white_balance[2], 1.25f, 1e-5f);
    ASSERT_EQ(info.colour_matrix_count, 1);
    EXPECT_EQ(info.calibration_illuminant[0], 21);  // D65
    for (int i = 0; i < 9; ++i) {
        EXPECT_NEAR(matrix(info, 0)[i], options.colorMatrix1[i], 1e-4) << i;
    }
}

TEST(CaptureInfo, TakesBothCalibratedMatricesOfARealDNG) {
    // The file's ColorMatrix1 is for Standard Light A and its ColorMatrix2 for D65; its
    // CameraCalibration scales the rows by 1.0069, 1 and 1.0027; BaselineExposure is 0.25.
    const auto read = readCapture(testData("exiftool_DNG.dng"));
    ASSERT_EQ(read.result, 0) << read.error;
    const QXRAWCaptureInfo& info = read.info;
    EXPECT_STREQ(info.make, "Canon");
    EXPECT_EQ(info.baseline_exposure, 0.25f);
    EXPECT_EQ(info.iso, 400.0f);
    EXPECT_NEAR(info.exposure_time, 1.0f / 15.0f, 1e-6f);
    EXPECT_EQ(info.f_number, 8.0f);
    EXPECT_EQ(info.focal_length, 55.0f);
    EXPECT_GT(info.timestamp, 0);
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
