#pragma once

#include <array>
#include <cmath>

#include "core/imageio/color_profiles.h"

// Colour conversions from their published definitions, in double, to check the decoders'
// linear values against: the curves of IEC 61966-2-1 (sRGB) and ITU-R BT.709, the matrix from a
// colour space's primaries and white to XYZ, and Bradford adaptation to the ICC connection space's
// D50 white, through which an ICC profile reaches sRGB.
namespace quillmere::testing_support {

inline double linearFromSrgbCurve(double encoded) {
    return encoded <= 0.04045 ? encoded / 12.92 : std::pow((encoded + 0.055) / 1.055, 2.4);
}

inline double linearFromBt709Curve(double encoded) {
    return encoded < 0.081 ? encoded / 4.5 : std::pow((encoded + 0.099) / 1.099, 1.0 / 0.45);
}

using Vector3 = std::array<double, 3>;
using Matrix3 = std::array<Vector3, 3>;

inline Vector3 multiply(const Matrix3& m, const Vector3& v) {
    return {m[0][0] * v[0] + m[0][1] * v[1] + m[0][2] * v[2],
            m[1][0] * v[0] + m[1][1] * v[1] + m[1][2] * v[2],
            m[2][0] * v[0] + m[2][1] * v[1] + m[2][2] * v[2]};
}

inline Matrix3 multiply(const Matrix3& a, const Matrix3& b) {
    Matrix3 product{};
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            for (int k = 0; k < 3; ++k) product[row][column] += a[row][k] * b[k][column];
        }
    }
    return product;
}

inline Matrix3 inverse(const Matrix3& m) {
    const double determinant = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                               m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                               m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    Matrix3 result{};
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            // The cofactor of the transposed position, cyclic indices giving its sign.
            const int r1 = (column + 1) % 3, r2 = (column + 2) % 3;
            const int c1 = (row + 1) % 3, c2 = (row + 2) % 3;
            result[row][column] = (m[r1][c1] * m[r2][c2] - m[r1][c2] * m[r2][c1]) / determinant;
        }
    }
    return result;
}

inline Vector3 xyzOf(double x, double y) { return {x / y, 1.0, (1.0 - x - y) / y}; }

// Linear RGB in the colour space of `primaries` to XYZ, white at Y = 1.
inline Matrix3 rgbToXyz(const RgbPrimaries& p) {
    const Vector3 red = xyzOf(p.redX, p.redY), green = xyzOf(p.greenX, p.greenY),
                  blue = xyzOf(p.blueX, p.blueY);
    const Matrix3 primaries{{{red[0], green[0], blue[0]},
                             {red[1], green[1], blue[1]},
                             {red[2], green[2], blue[2]}}};
    const Vector3 scale = multiply(inverse(primaries), xyzOf(p.whiteX, p.whiteY));
    Matrix3 result = primaries;
    for (auto& row : result) {
        for (int column = 0; column < 3; ++column) row[column] *= scale[column];
    }
    return result;
}

// The ICC connection space's white.
inline constexpr Vector3 d50White{0.9642, 1.0, 0.8249};

// Bradford's adaptation of XYZ seen under `white` to XYZ seen under D50.
inline Matrix3 bradfordToD50(const Vector3& white) {
    const Matrix3 cone{{{0.8951, 0.2664, -0.1614}, {-0.7502, 1.7135, 0.0367}, {0.0389, -0.0685, 1.0296}}};
    const Vector3 from = multiply(cone, white), to = multiply(cone, d50White);
    const Matrix3 gain{{{to[0] / from[0], 0, 0}, {0, to[1] / from[1], 0}, {0, 0, to[2] / from[2]}}};
    return multiply(inverse(cone), multiply(gain, cone));
}

// Linear RGB in the colour space of `primaries` to linear sRGB, each adapted to D50.
inline Matrix3 toLinearSrgb(const RgbPrimaries& primaries) {
    const auto toD50 = [](const RgbPrimaries& p) {
        return multiply(bradfordToD50(xyzOf(p.whiteX, p.whiteY)), rgbToXyz(p));
    };
    return multiply(inverse(toD50(srgbPrimaries)), toD50(primaries));
}

}  // namespace quillmere::testing_support
