#pragma once

#include <vector>

#include "core/common/coding_path.h"
#include "core/common/json_coding.h"

namespace quillmere {

// One control point of a tone curve: input level x, output level y, both on 0...255. Stored as
// placed, without clamping.
struct CurvePoint {
    double x = 0;
    double y = 0;

    bool operator==(const CurvePoint&) const = default;

    json::Json encode(const CodingPath& path = {}) const;
    // What `encode` writes, with the keys in coding order instead of sorted.
    json::OrderedJson encodeOrdered(const CodingPath& path = {}) const;
    // Both "x" and "y" are required numbers.
    static CurvePoint decode(const json::Json& value, const CodingPath& path = {});
};

// The master curve and one curve per colour channel. The lists keep the points as the user
// placed them (any order, duplicates, out of range); only the evaluator cleans them.
struct ToneCurve {
    std::vector<CurvePoint> rgb = identityPoints();
    std::vector<CurvePoint> red = identityPoints();
    std::vector<CurvePoint> green = identityPoints();
    std::vector<CurvePoint> blue = identityPoints();

    // (0, 0) and (255, 255).
    static const std::vector<CurvePoint>& identityPoints();
    // Every channel at `identityPoints`: the default curve of an edit.
    static const ToneCurve& identity();

    // True for fewer than two points, or for points in x order that each lie within 0.0001 of
    // the diagonal.
    static bool isIdentityChannel(const std::vector<CurvePoint>& points);
    // True when every channel can be skipped.
    bool isIdentity() const;

    // The four channels sampled at `resolution` evenly spaced inputs over 0...255, channel-major
    // (rgb, red, green, blue), each entry the output divided by 255. Empty below two samples.
    std::vector<float> lut(int resolution) const;

    bool operator==(const ToneCurve&) const = default;

    json::Json encode(const CodingPath& path = {}) const;
    // What `encode` writes, with the keys in coding order instead of sorted.
    json::OrderedJson encodeOrdered(const CodingPath& path = {}) const;
    // All four channel keys are required; points are kept exactly as read.
    static ToneCurve decode(const json::Json& value, const CodingPath& path = {});
};

// A smooth curve through one point list that never reverses where the points do not: a cubic
// Hermite spline with Fritsch–Carlson limited tangents, flat outside its first and last knot.
class MonotoneCurveEvaluator {
  public:
    // Points with a NaN coordinate are dropped; the rest are clamped to 0...255, equal x collapse
    // to the last given y, and fewer than two distinct x give the identity line.
    explicit MonotoneCurveEvaluator(const std::vector<CurvePoint>& points);

    // The curve's output at input `at`, in 0...255 (a NaN input gives 0).
    double value(double at) const;

    // Knot positions (strictly increasing, at least two) and values.
    const std::vector<double>& xs() const { return xs_; }
    const std::vector<double>& ys() const { return ys_; }

  private:
    std::vector<double> xs_;
    std::vector<double> ys_;
    std::vector<double> tangents_;
};

}  // namespace quillmere
