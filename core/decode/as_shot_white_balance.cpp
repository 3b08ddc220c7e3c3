#include "core/decode/as_shot_white_balance.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

namespace quillmere {
namespace {

using Matrix = std::array<double, 9>;  // row by row
using Vector = std::array<double, 3>;

constexpr TemperatureTint kUnstated{5500.0, 0.0};
constexpr double kLowestTemperature = 2000.0;
constexpr double kHighestTemperature = 50000.0;
constexpr int kInterpolationSteps = 20;
constexpr double kConvergedKelvin = 0.01;

// LibRaw takes the camera values of a camera without a colour matrix as linear sRGB, so its XYZ
// is sRGB's (D65).
constexpr Matrix kLinearSRGBToXYZ{0.4124564, 0.3575761, 0.1804375, 0.2126729, 0.7151522,
                                  0.0721750, 0.0193339, 0.1191920, 0.9503041};

// The correlated colour temperature of an EXIF LightSource that a DNG names as a matrix's
// calibration illuminant; nothing for an unknown one. The fluorescent classes take the middle of
// the range their names give.
std::optional<double> illuminantTemperature(int lightSource) {
    switch (lightSource) {
        case 1:
            return 5500.0;  // daylight
        case 2:
            return 4150.0;  // fluorescent
        case 3:
            return 2850.0;  // tungsten
        case 4:
            return 5500.0;  // flash
        case 9:
            return 5500.0;  // fine weather
        case 10:
            return 6500.0;  // cloudy
        case 11:
            return 7500.0;  // shade
        case 12:
            return 6400.0;  // daylight fluorescent, 5700-7100 K
        case 13:
            return 5000.0;  // day white fluorescent, 4600-5400 K
        case 14:
            return 4200.0;  // cool white fluorescent, 3900-4500 K
        case 15:
            return 3450.0;  // white fluorescent, 3200-3700 K
        case 16:
            return 2925.0;  // warm white fluorescent, 2600-3250 K
        case 17:
            return 2856.0;  // standard light A
        case 18:
            return 4874.0;  // standard light B
        case 19:
            return 6774.0;  // standard light C
        case 20:
            return 5503.0;  // D55
        case 21:
            return 6504.0;  // D65
        case 22:
            return 7504.0;  // D75
        case 23:
            return 5003.0;  // D50
        case 24:
            return 3200.0;  // ISO studio tungsten
        default:
            return std::nullopt;
    }
}

std::optional<Matrix> inverse(const Matrix& m) {
    const double c00 = m[4] * m[8] - m[5] * m[7];
    const double c01 = m[5] * m[6] - m[3] * m[8];
    const double c02 = m[3] * m[7] - m[4] * m[6];
    const double determinant = m[0] * c00 + m[1] * c01 + m[2] * c02;
    if (!std::isfinite(determinant) || std::fabs(determinant) < 1e-12) return std::nullopt;
    const double s = 1.0 / determinant;
    return Matrix{c00 * s, (m[2] * m[7] - m[1] * m[8]) * s, (m[1] * m[5] - m[2] * m[4]) * s,
                  c01 * s, (m[0] * m[8] - m[2] * m[6]) * s, (m[2] * m[3] - m[0] * m[5]) * s,
                  c02 * s, (m[1] * m[6] - m[0] * m[7]) * s, (m[0] * m[4] - m[1] * m[3]) * s};
}

Vector times(const Matrix& m, const Vector& v) {
    return {m[0] * v[0] + m[1] * v[1] + m[2] * v[2], m[3] * v[0] + m[4] * v[1] + m[5] * v[2],
            m[6] * v[0] + m[7] * v[1] + m[8] * v[2]};
}

Matrix matrixOf(const float (&values)[9]) {
    Matrix matrix;
    std::copy(values, values + 9, matrix.begin());
    return matrix;
}

std::optional<TemperatureTint> whiteOfXYZ(const Vector& xyz) {
    const double sum = xyz[0] + xyz[1] + xyz[2];
    if (!(sum > 0.0) || !std::isfinite(sum)) return std::nullopt;
    return temperatureTint(xyz[0] / sum, xyz[1] / sum);
}

std::optional<TemperatureTint> whiteThrough(const Matrix& xyzToCamera, const Vector& neutral) {
    const std::optional<Matrix> cameraToXYZ = inverse(xyzToCamera);
    if (!cameraToXYZ) return std::nullopt;
    return whiteOfXYZ(times(*cameraToXYZ, neutral));
}

// The DNG rule: the matrix for a white of temperature T is the blend of the two calibration
// matrices by inverse temperature, held at either end, so the white and its matrix are found
// together by iteration.
std::optional<TemperatureTint> interpolatedWhite(const Matrix& first, double firstTemperature,
                                                 const Matrix& second, double secondTemperature,
                                                 const Vector& neutral) {
    const double firstMired = 1.0 / firstTemperature;
    const double secondMired = 1.0 / secondTemperature;
    double weight = 0.5;  // of the first matrix
    std::optional<TemperatureTint> white;
    for (int step = 0; step < kInterpolationSteps; ++step) {
        Matrix blend;
        for (std::size_t i = 0; i < blend.size(); ++i) {
            blend[i] = weight * first[i] + (1.0 - weight) * second[i];
        }
        const std::optional<TemperatureTint> next = whiteThrough(blend, neutral);
        if (!next) return white;
        const bool converged =
            white && std::fabs(next->temperature - white->temperature) < kConvergedKelvin;
        white = next;
        if (converged || !std::isfinite(white->temperature)) break;
        weight = std::clamp((1.0 / white->temperature - secondMired) / (firstMired - secondMired),
                            0.0, 1.0);
    }
    return white;
}

std::optional<TemperatureTint> whiteOfNeutral(const QXRAWCaptureInfo& info, const Vector& neutral) {
    if (info.colour_matrix_count <= 0) return whiteOfXYZ(times(kLinearSRGBToXYZ, neutral));
    const Matrix first = matrixOf(info.xyz_to_camera[0]);
    if (info.colour_matrix_count == 1) return whiteThrough(first, neutral);
    const Matrix second = matrixOf(info.xyz_to_camera[1]);
    const std::optional<double> firstTemperature =
        illuminantTemperature(info.calibration_illuminant[0]);
    const std::optional<double> secondTemperature =
        illuminantTemperature(info.calibration_illuminant[1]);
    if (!firstTemperature || !secondTemperature || *firstTemperature == *secondTemperature) {
        // Without two known illuminants there is nothing to blend by; the matrix of the named
        // one (else the second, the daylight one by convention) stands alone.
        return whiteThrough(firstTemperature && !secondTemperature ? first : second, neutral);
    }
    return interpolatedWhite(first, *firstTemperature, second, *secondTemperature, neutral);
}

}  // namespace

TemperatureTint asShotWhiteBalance(const QXRAWCaptureInfo& info) {
    Vector neutral;
    for (int channel = 0; channel < 3; ++channel) {
        const double multiplier = info.white_balance[channel];
        if (!(multiplier > 0.0) || !std::isfinite(multiplier)) return kUnstated;
        neutral[channel] = 1.0 / multiplier;
    }
    const std::optional<TemperatureTint> white = whiteOfNeutral(info, neutral);
    if (!white || std::isnan(white->temperature) || !std::isfinite(white->tint)) return kUnstated;
    return {std::clamp(white->temperature, kLowestTemperature, kHighestTemperature), white->tint};
}

}  // namespace quillmere
