#pragma once

#include <array>
#include <cmath>

#include "core/imageio/color_profiles.h"

// Colour conversions from their published definitions, in double: the curves of IEC 61966-2-1
// (sRGB) and ITU-R BT.709, and the matrix from a colour space's primaries to sRGB's through
// Bradford adaptation to the D50 white of the ICC connection space, as profiles connect.
namespace quillmere::testing_support {

using Vector3 = std::array<double, 3>;
using Matrix3 = std::array<Vector3, 3>;

inline double linearFromSrgbCurve(double v) {
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

inline double linearFromBt709Curve(double v) {
    return v < 0.081 ? v / 4.5 : std::pow((v + 0.099) / 1.099, 1.0 / 0.45);
}

inline Vector3 multiply(const Matrix3& m, const Vector3& v) {
    Vector3 product{};
    for (int row = 0; row < 3; ++row) {
        for (int k = 0; k < 3; ++k) product[row] += m[row][k] * v[k];
    }
    return product;
}

inline Matrix3 multiply(const Matrix3& a, const Matrix3& b) {
    Matrix3 product{};
    for (int column = 0; column < 3; ++column) {
        const Vector3 result = multiply(a, Vector3{b[0][column], b[1][column], b[2][column]});
        for (int row = 0; row < 3; ++row) product[row][column] = result[row];
    }
    return product;
}

inline Matrix3 inverse(const Matrix3& m) {
    Matrix3 result{};
    double determinant = 0;
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            // The cofactor of (column, row); cyclic indices give it its sign.
            const int r1 = (column + 1) % 3, r2 = (column + 2) % 3, c1 = (row + 1) % 3,
                      c2 = (row + 2) % 3;
            result[row][column] = m[r1][c1] * m[r2][c2] - m[r1][c2] * m[r2][c1];
        }
    }
    for (int k = 0; k < 3; ++k) determinant += m[0][k] * result[k][0];
    for (auto& row : result) {
        for (double& value : row) value /= determinant;
    }
    return result;
}

inline Vector3 xyzOf(double x, double y) { return {x / y, 1.0, (1.0 - x - y) / y}; }

// Linear RGB in a colour space to XYZ adapted to D50 by Bradford.
inline Matrix3 toD50Xyz(const RgbPrimaries& p) {
    const Vector3 red = xyzOf(p.redX, p.redY), green = xyzOf(p.greenX, p.greenY),
                  blue = xyzOf(p.blueX, p.blueY);
    Matrix3 toXyz{
        {{red[0], green[0], blue[0]}, {red[1], green[1], blue[1]}, {red[2], green[2], blue[2]}}};
    const Vector3 scale = multiply(inverse(toXyz), xyzOf(p.whiteX, p.whiteY));
    for (auto& row : toXyz) {
        for (int column = 0; column < 3; ++column) row[column] *= scale[column];
    }
    const Matrix3 cone{
        {{0.8951, 0.2664, -0.1614}, {-0.7502, 1.7135, 0.0367}, {0.0389, -0.0685, 1.0296}}};
    const Vector3 from = multiply(cone, xyzOf(p.whiteX, p.whiteY)),
                  to = multiply(cone, Vector3{0.9642, 1.0, 0.8249});
    const Matrix3 gain{{{to[0] / from[0], 0, 0}, {0, to[1] / from[1], 0}, {0, 0, to[2] / from[2]}}};
    return multiply(inverse(cone), multiply(gain, multiply(cone, toXyz)));
}

inline Matrix3 toLinearSrgb(const RgbPrimaries& primaries) {
    return multiply(inverse(toD50Xyz(srgbPrimaries)), toD50Xyz(primaries));
}

}  // namespace quillmere::testing_support
