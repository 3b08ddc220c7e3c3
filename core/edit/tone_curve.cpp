#include "core/edit/tone_curve.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace quillmere {
namespace {

constexpr double kIdentityTolerance = 0.0001;
constexpr double kMaximumLevel = 255;

// A NaN output (only a NaN input produces one) falls to 0, so callers always get a level.
double clampToLevelRange(double level) {
    if (!(level > 0)) return 0;
    if (level > kMaximumLevel) return kMaximumLevel;
    return level;
}

json::OrderedJson encodeChannel(const std::vector<CurvePoint>& points, const CodingPath& path) {
    json::OrderedJson array = json::OrderedJson::array();
    for (std::size_t index = 0; index < points.size(); ++index) {
        array.push_back(points[index].encodeOrdered(path / index));
    }
    return array;
}

std::vector<CurvePoint> decodeChannel(const json::Json& value, const CodingPath& path) {
    return json::decodeArray(value, path, CurvePoint::decode);
}

}  // namespace

json::Json CurvePoint::encode(const CodingPath& path) const {
    return json::Json(encodeOrdered(path));
}

json::OrderedJson CurvePoint::encodeOrdered(const CodingPath& path) const {
    json::OrderedJson object = json::OrderedJson::object();
    object["x"] = json::encodeDouble(x, path / "x");
    object["y"] = json::encodeDouble(y, path / "y");
    return object;
}

CurvePoint CurvePoint::decode(const json::Json& value, const CodingPath& path) {
    json::requireObject(value, path);
    return {
        .x = json::decodeRequired(value, "x", path, json::decodeDouble),
        .y = json::decodeRequired(value, "y", path, json::decodeDouble),
    };
}

const std::vector<CurvePoint>& ToneCurve::identityPoints() {
    static const std::vector<CurvePoint> points{{0, 0}, {kMaximumLevel, kMaximumLevel}};
    return points;
}

const ToneCurve& ToneCurve::identity() {
    static const ToneCurve curve{};
    return curve;
}

bool ToneCurve::isIdentityChannel(const std::vector<CurvePoint>& points) {
    if (points.size() < 2) return true;
    // Written so that NaN fails; it also keeps non-finite values away from the order test.
    const bool onDiagonal = std::all_of(points.begin(), points.end(), [](const CurvePoint& point) {
        return std::abs(point.x - point.y) < kIdentityTolerance;
    });
    if (!onDiagonal) return false;
    // Already in x order (equal x in any order counts): a list the evaluator would reorder is not
    // the identity the user sees.
    return std::is_sorted(points.begin(), points.end(),
                          [](const CurvePoint& a, const CurvePoint& b) { return a.x < b.x; });
}

bool ToneCurve::isIdentity() const {
    return isIdentityChannel(rgb) && isIdentityChannel(red) && isIdentityChannel(green) &&
           isIdentityChannel(blue);
}

std::vector<float> ToneCurve::lut(int resolution) const {
    // One sample cannot span 0...255, and a negative count has no table.
    if (resolution < 2) return {};
    const auto samples = static_cast<std::size_t>(resolution);
    std::vector<float> table;
    table.reserve(4 * samples);
    for (const auto* channel : {&rgb, &red, &green, &blue}) {
        const MonotoneCurveEvaluator evaluator(*channel);
        for (std::size_t index = 0; index < samples; ++index) {
            const double input =
                static_cast<double>(index) / static_cast<double>(samples - 1) * kMaximumLevel;
            table.push_back(static_cast<float>(evaluator.value(input) / kMaximumLevel));
        }
    }
    return table;
}

json::Json ToneCurve::encode(const CodingPath& path) const {
    return json::Json(encodeOrdered(path));
}

json::OrderedJson ToneCurve::encodeOrdered(const CodingPath& path) const {
    json::OrderedJson object = json::OrderedJson::object();
    object["rgb"] = encodeChannel(rgb, path / "rgb");
    object["red"] = encodeChannel(red, path / "red");
    object["green"] = encodeChannel(green, path / "green");
    object["blue"] = encodeChannel(blue, path / "blue");
    return object;
}

ToneCurve ToneCurve::decode(const json::Json& value, const CodingPath& path) {
    json::requireObject(value, path);
    return {
        .rgb = json::decodeRequired(value, "rgb", path, decodeChannel),
        .red = json::decodeRequired(value, "red", path, decodeChannel),
        .green = json::decodeRequired(value, "green", path, decodeChannel),
        .blue = json::decodeRequired(value, "blue", path, decodeChannel),
    };
}

MonotoneCurveEvaluator::MonotoneCurveEvaluator(const std::vector<CurvePoint>& points) {
    // A NaN coordinate (a damaged file or a foreign sidecar) has no place on the curve, and as a
    // sort key it would break the ordering. Infinities simply clamp.
    std::vector<CurvePoint> knots;
    knots.reserve(points.size());
    for (const CurvePoint& point : points) {
        if (std::isnan(point.x) || std::isnan(point.y)) continue;
        knots.push_back({clampToLevelRange(point.x), clampToLevelRange(point.y)});
    }
    // Stable, so among equal x the point given last ends last and wins.
    std::stable_sort(knots.begin(), knots.end(),
                     [](const CurvePoint& a, const CurvePoint& b) { return a.x < b.x; });
    for (const CurvePoint& knot : knots) {
        if (!xs_.empty() && xs_.back() == knot.x) {
            ys_.back() = knot.y;
        } else {
            xs_.push_back(knot.x);
            ys_.push_back(knot.y);
        }
    }

    const std::size_t count = xs_.size();
    if (count < 2) {
        xs_ = {0, kMaximumLevel};
        ys_ = {0, kMaximumLevel};
        tangents_ = {1, 1};
        return;
    }

    std::vector<double> secants(count - 1);
    for (std::size_t k = 0; k + 1 < count; ++k) {
        secants[k] = (ys_[k + 1] - ys_[k]) / (xs_[k + 1] - xs_[k]);
    }

    tangents_.assign(count, 0);
    tangents_.front() = secants.front();
    tangents_.back() = secants.back();
    for (std::size_t k = 1; k + 1 < count; ++k) {
        // A local extremum or a flat side keeps a zero slope so the curve cannot overshoot it.
        if (secants[k - 1] * secants[k] > 0) tangents_[k] = (secants[k - 1] + secants[k]) / 2;
    }

    // Fritsch–Carlson: keep each interval's slopes inside the circle of radius 3 that guarantees
    // monotonicity. Each step starts from the tangent the step before may have changed.
    for (std::size_t k = 0; k + 1 < count; ++k) {
        if (secants[k] == 0) {
            tangents_[k] = 0;
            tangents_[k + 1] = 0;
            continue;
        }
        const double a = tangents_[k] / secants[k];
        const double b = tangents_[k + 1] / secants[k];
        const double magnitudeSquared = a * a + b * b;
        if (magnitudeSquared > 9) {
            const double scale = 3 / std::sqrt(magnitudeSquared);
            tangents_[k] = scale * a * secants[k];
            tangents_[k + 1] = scale * b * secants[k];
        }
    }
}

double MonotoneCurveEvaluator::value(double at) const {
    const std::size_t last = xs_.size() - 1;
    if (at <= xs_.front()) return ys_.front();
    if (at >= xs_[last]) return ys_[last];

    std::size_t lo = 0;
    std::size_t hi = last;
    while (hi - lo > 1) {
        const std::size_t mid = (lo + hi) / 2;
        if (xs_[mid] <= at) {
            lo = mid;
        } else {
            hi = mid;
        }
    }

    const double h = xs_[hi] - xs_[lo];
    const double t = (at - xs_[lo]) / h;
    const double t2 = t * t;
    const double t3 = t * t2;
    const double y = (2 * t3 - 3 * t2 + 1) * ys_[lo] + h * (t3 - 2 * t2 + t) * tangents_[lo] +
                     (3 * t2 - 2 * t3) * ys_[hi] + h * (t3 - t2) * tangents_[hi];
    return clampToLevelRange(y);
}

}  // namespace quillmere
