#include "rawbridge/capture_info.h"

#include <cstdio>

#include "rawbridge/sensor_metadata.h"

namespace quillmere::rawbridge {
namespace {

constexpr float kBaselineExposureLimit = 100.0f;  // LibRaw leaves -999 when there is none
constexpr std::int32_t kD65 = 21;  // LibRaw's own camera matrices are measured under D65

template <std::size_t N>
void copyText(char (&destination)[N], const char* source) {
    std::snprintf(destination, N, "%s", source);
}

// A number LibRaw may leave negative or non-finite in a damaged header counts as unknown.
float known(float value) { return value > 0.0f && value < 1e30f ? value : 0.0f; }

bool isZero(const float* values, int count) {
    for (int i = 0; i < count; ++i) {
        if (values[i] != 0.0f) return false;
    }
    return true;
}

// XYZ to camera of one DNG colour record: ColorMatrix, preceded by CameraCalibration and
// AnalogBalance where the file carries them.
void dngCameraMatrix(const libraw_dng_color_t& dng, const libraw_dng_levels_t& levels,
                     float matrix[9]) {
    const bool calibrated = dng.calibration[0][0] != 0.0f && dng.calibration[1][1] != 0.0f &&
                            dng.calibration[2][2] != 0.0f;
    const bool balanced = levels.analogbalance[0] > 0.0f && levels.analogbalance[1] > 0.0f &&
                          levels.analogbalance[2] > 0.0f;
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            float value = 0.0f;
            for (int k = 0; k < 3; ++k) {
                const float calibration =
                    calibrated ? dng.calibration[row][k] : (row == k ? 1.0f : 0.0f);
                value += calibration * dng.colormatrix[k][col];
            }
            matrix[row * 3 + col] = balanced ? levels.analogbalance[row] * value : value;
        }
    }
}

void setColourMatrices(const libraw_colordata_t& color, QXRAWCaptureInfo& info) {
    for (const libraw_dng_color_t& dng : color.dng_color) {
        if (isZero(&dng.colormatrix[0][0], 9)) continue;
        const int index = info.colour_matrix_count++;
        info.calibration_illuminant[index] = dng.illuminant;
        dngCameraMatrix(dng, color.dng_levels, info.xyz_to_camera[index]);
    }
    if (info.colour_matrix_count > 0 || isZero(&color.cam_xyz[0][0], 9)) return;
    info.colour_matrix_count = 1;
    info.calibration_illuminant[0] = kD65;
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col)
            info.xyz_to_camera[0][row * 3 + col] = color.cam_xyz[row][col];
    }
}

}  // namespace

QXRAWCaptureInfo captureInfoFor(LibRaw& raw) {
    QXRAWCaptureInfo info{};
    copyText(info.make, raw.imgdata.idata.make);
    copyText(info.model, raw.imgdata.idata.model);
    copyText(info.lens, raw.imgdata.lens.Lens);
    const libraw_imgother_t& other = raw.imgdata.other;
    info.iso = known(other.iso_speed);
    info.exposure_time = known(other.shutter);
    info.f_number = known(other.aperture);
    info.focal_length = known(other.focal_len);
    info.timestamp = other.timestamp > 0 ? static_cast<std::int64_t>(other.timestamp) : 0;
    info.orientation = flipCode(raw.imgdata.sizes.flip);

    const libraw_colordata_t& color = raw.imgdata.color;
    const float baseline = color.dng_levels.baseline_exposure;
    info.baseline_exposure =
        baseline > -kBaselineExposureLimit && baseline < kBaselineExposureLimit ? baseline : 0.0f;
    for (int colour = 0; colour < 3; ++colour) {
        info.white_balance[colour] = whiteBalanceMultiplier(color, colour);
    }
    setColourMatrices(color, info);
    return info;
}

}  // namespace quillmere::rawbridge
