#include "core/decode/as_shot_white_balance.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

namespace quillmere {
namespace {

using Matrix = std::array<double, 9>;

// XYZ to camera of a Canon EOS 350D under Standard Light A and under D65.
constexpr Matrix kCanonA{0.6159, -0.0945, -0.0745, -0.6846, 1.3563, 0.3684, -0.0802, 0.1086, 0.7555};
constexpr Matrix kCanonD65{0.6018, -0.0617, -0.0965, -0.8645, 1.5881, 0.2975, -0.153, 0.1719, 0.7642};

constexpr int kLightA = 17;
constexpr int kD65 = 21;

std::array<double, 3> xyzOf(double x, double y) { return {x / y, 1.0, (1.0 - x - y) / y}; }

// The record of a camera whose neutral is the white (x, y) seen through `xyzToCamera`.
QXRAWCaptureInfo shotUnder(double x, double y, const Matrix& xyzToCamera) {
    QXRAWCaptureInfo info{};
    const std::array<double, 3> xyz = xyzOf(x, y);
    for (int row = 0; row < 3; ++row) {
        const double neutral = xyzToCamera[row * 3] * xyz[0] + xyzToCamera[row * 3 + 1] * xyz[1] +
                               xyzToCamera[row * 3 + 2] * xyz[2];
        info.white_balance[row] = static_cast<float>(1.0 / neutral);
    }
    return info;
}

void setMatrix(QXRAWCaptureInfo& info, int index, const Matrix& matrix, int illuminant) {
    for (int i = 0; i < 9; ++i) info.xyz_to_camera[index][i] = static_cast<float>(matrix[i]);
    info.calibration_illuminant[index] = illuminant;
    info.colour_matrix_count = std::max(info.colour_matrix_count, index + 1);
}

TEST(AsShotWhiteBalance, TakesTheNeutralThroughTheCameraMatrix) {
    const std::array<std::array<double, 3>, 3> illuminants{{
        {0.44757, 0.40745, 2856.0},  // A
        {0.34567, 0.35850, 5003.0},  // D50
        {0.31271, 0.32902, 6504.0},  // D65
    }};
    for (const auto& [x, y, kelvin] : illuminants) {
        QXRAWCaptureInfo info = shotUnder(x, y, kCanonD65);
        setMatrix(info, 0, kCanonD65, kD65);
        const TemperatureTint white = asShotWhiteBalance(info);
        const TemperatureTint expected = *temperatureTint(x, y);
        EXPECT_NEAR(white.temperature, kelvin, 15.0) << kelvin;
        EXPECT_NEAR(white.temperature, expected.temperature, 0.5) << kelvin;
        EXPECT_NEAR(white.tint, expected.tint, 0.01) << kelvin;
    }
}

TEST(AsShotWhiteBalance, BlendsTwoCalibrationMatricesByTheWhitesOwnTemperature) {
    // A camera whose red response under tungsten differs from daylight's by a quarter, and
    // which really follows the DNG blend: at 4000 K its matrix lies between the two by inverse
    // temperature.
    Matrix tungsten = kCanonA;
    for (int i = 0; i < 3; ++i) tungsten[i] *= 1.25;
    const double x = 0.38052;  // 4000 K on the Planckian locus
    const double y = 0.37673;
    const double weight = (1.0 / 4000 - 1.0 / 6504) / (1.0 / 2856 - 1.0 / 6504);
    Matrix at4000;
    for (int i = 0; i < 9; ++i) at4000[i] = weight * tungsten[i] + (1.0 - weight) * kCanonD65[i];
    QXRAWCaptureInfo info = shotUnder(x, y, at4000);
    setMatrix(info, 0, tungsten, kLightA);
    setMatrix(info, 1, kCanonD65, kD65);
    EXPECT_NEAR(asShotWhiteBalance(info).temperature, 4000.0, 5.0);

    // Either matrix alone misreads the same neutral.
    for (int index : {0, 1}) {
        QXRAWCaptureInfo single = info;
        single.colour_matrix_count = 1;
        if (index == 1) setMatrix(single, 0, kCanonD65, kD65);
        EXPECT_GT(std::fabs(asShotWhiteBalance(single).temperature - 4000.0), 100.0) << index;
    }

    // Without two known illuminants nothing is blended: the second (daylight) matrix stands.
    QXRAWCaptureInfo unknown = info;
    unknown.calibration_illuminant[0] = 0;
    unknown.calibration_illuminant[1] = 0;
    QXRAWCaptureInfo daylightOnly = info;
    daylightOnly.colour_matrix_count = 1;
    setMatrix(daylightOnly, 0, kCanonD65, kD65);
    EXPECT_EQ(asShotWhiteBalance(unknown), asShotWhiteBalance(daylightOnly));
}

TEST(AsShotWhiteBalance, TakesACameraWithoutMatrixAsLinearSRGB) {
    QXRAWCaptureInfo info{};
    info.white_balance[0] = info.white_balance[1] = info.white_balance[2] = 2.0f;
    const TemperatureTint white = asShotWhiteBalance(info);  // sRGB's white is D65
    EXPECT_NEAR(white.temperature, 6504.0, 15.0);
    EXPECT_NEAR(white.tint, 9.5, 1.5);
}

TEST(AsShotWhiteBalance, GivesTheUnstatedBalanceForRecordsThatSayNothingUsable) {
    const TemperatureTint unstated{5500.0, 0.0};
    QXRAWCaptureInfo info = shotUnder(0.34567, 0.35850, kCanonD65);
    setMatrix(info, 0, kCanonD65, kD65);
    for (float bad : {0.0f, -1.0f, std::numeric_limits<float>::quiet_NaN(),
                      std::numeric_limits<float>::infinity()}) {
        QXRAWCaptureInfo damaged = info;
        damaged.white_balance[2] = bad;
        EXPECT_EQ(asShotWhiteBalance(damaged), unstated) << bad;
    }
    QXRAWCaptureInfo singular = info;
    for (float& value : singular.xyz_to_camera[0]) value = 1.0f;
    EXPECT_EQ(asShotWhiteBalance(singular), unstated);
}

TEST(AsShotWhiteBalance, StaysWithinTheRangeTheControlsOffer) {
    QXRAWCaptureInfo candle = shotUnder(0.5496, 0.4081, kCanonD65);  // 1800 K
    setMatrix(candle, 0, kCanonD65, kD65);
    EXPECT_EQ(asShotWhiteBalance(candle).temperature, 2000.0);
    QXRAWCaptureInfo sky = shotUnder(0.22, 0.22, kCanonD65);
    setMatrix(sky, 0, kCanonD65, kD65);
    EXPECT_EQ(asShotWhiteBalance(sky).temperature, 50000.0);
}

}  // namespace
}  // namespace quillmere
