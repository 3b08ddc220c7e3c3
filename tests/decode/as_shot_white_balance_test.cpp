#include "core/decode/as_shot_white_balance.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

namespace quillmere {
namespace {

using Matrix = std::array<double, 9>;

// XYZ to camera of a Canon EOS 350D under D65, and one under Standard Light A whose red
// response is a quarter stronger than the real camera's, so that the two matrices disagree.
constexpr Matrix kDaylight{0.6018, -0.0617, -0.0965, -0.8645, 1.5881,
                           0.2975, -0.153,  0.1719,  0.7642};
constexpr Matrix kTungsten{1.25 * 0.6159, 1.25 * -0.0945, 1.25 * -0.0745, -0.6846, 1.3563,
                           0.3684,        -0.0802,        0.1086,         0.7555};

// The record of a camera whose neutral is the white (x, y) seen through `xyzToCamera`, carrying
// `matrices` with their EXIF illuminants.
QXRAWCaptureInfo shotUnder(double x, double y, const Matrix& xyzToCamera,
                           std::vector<std::pair<Matrix, int>> matrices) {
    QXRAWCaptureInfo info{};
    const double xyz[3] = {x / y, 1.0, (1.0 - x - y) / y};
    for (int row = 0; row < 3; ++row) {
        info.white_balance[row] = static_cast<float>(1.0 / (xyzToCamera[row * 3] * xyz[0] +
                                                            xyzToCamera[row * 3 + 1] * xyz[1] +
                                                            xyzToCamera[row * 3 + 2] * xyz[2]));
    }
    for (const auto& [matrix, illuminant] : matrices) {
        const int index = info.colour_matrix_count++;
        for (int i = 0; i < 9; ++i) info.xyz_to_camera[index][i] = static_cast<float>(matrix[i]);
        info.calibration_illuminant[index] = illuminant;
    }
    return info;
}

constexpr int kLightA = 17;
constexpr int kD65 = 21;

TEST(AsShotWhiteBalance, TakesTheNeutralThroughTheCameraMatrix) {
    for (const auto& [x, y] : {std::pair{0.44757, 0.40745}, std::pair{0.31271, 0.32902}}) {
        const TemperatureTint white =
            asShotWhiteBalance(shotUnder(x, y, kDaylight, {{kDaylight, kD65}}));
        const TemperatureTint expected = temperatureTint(x, y).value();
        EXPECT_NEAR(white.temperature, expected.temperature, 0.5);
        EXPECT_NEAR(white.tint, expected.tint, 0.01);
    }
    // No matrix: the camera counts as linear sRGB, whose white is D65.
    const TemperatureTint srgb =
        asShotWhiteBalance(shotUnder(0.31271, 0.32902,
                                     {3.2404542, -1.5371385, -0.4985314, -0.9692660, 1.8760108,
                                      0.0415560, 0.0556434, -0.2040259, 1.0572252},
                                     {}));
    EXPECT_NEAR(srgb.temperature, 6504.0, 15.0);
}

TEST(AsShotWhiteBalance, BlendsTwoCalibrationMatricesByTheWhitesOwnTemperature) {
    // A camera that follows the DNG blend: at 4000 K its matrix lies between the two by inverse
    // temperature.
    const double weight = (1.0 / 4000 - 1.0 / 6504) / (1.0 / 2856 - 1.0 / 6504);
    Matrix at4000;
    for (int i = 0; i < 9; ++i) at4000[i] = weight * kTungsten[i] + (1.0 - weight) * kDaylight[i];
    const auto shot = [&](std::vector<std::pair<Matrix, int>> matrices) {
        return asShotWhiteBalance(shotUnder(0.38052, 0.37673, at4000, std::move(matrices)));
    };
    EXPECT_NEAR(shot({{kTungsten, kLightA}, {kDaylight, kD65}}).temperature, 4000.0, 5.0);
    // Either matrix alone misreads the neutral.
    EXPECT_GT(std::fabs(shot({{kTungsten, kLightA}}).temperature - 4000.0), 100.0);
    EXPECT_GT(std::fabs(shot({{kDaylight, kD65}}).temperature - 4000.0), 100.0);
    // Without two known illuminants nothing is blended: the second, daylight matrix stands.
    EXPECT_EQ(shot({{kTungsten, 0}, {kDaylight, 0}}), shot({{kDaylight, kD65}}));
}

TEST(AsShotWhiteBalance, GivesTheUnstatedBalanceOrTheControlsLimits) {
    const TemperatureTint unstated{5500.0, 0.0};
    for (float bad : {0.0f, -1.0f, std::numeric_limits<float>::quiet_NaN()}) {
        QXRAWCaptureInfo damaged = shotUnder(0.34567, 0.35850, kDaylight, {{kDaylight, kD65}});
        damaged.white_balance[2] = bad;
        EXPECT_EQ(asShotWhiteBalance(damaged), unstated) << bad;
    }
    const Matrix singular{1, 1, 1, 1, 1, 1, 1, 1, 1};
    EXPECT_EQ(asShotWhiteBalance(shotUnder(0.34567, 0.35850, kDaylight, {{singular, kD65}})),
              unstated);
    // 1800 K and a sky bluer than any black body.
    EXPECT_EQ(
        asShotWhiteBalance(shotUnder(0.5496, 0.4081, kDaylight, {{kDaylight, kD65}})).temperature,
        2000.0);
    EXPECT_EQ(asShotWhiteBalance(shotUnder(0.22, 0.22, kDaylight, {{kDaylight, kD65}})).temperature,
              50000.0);
}

}  // namespace
}  // namespace quillmere
