// The tone-curve editor's rules, on plain point lists: no widget and no state involved.

#include <algorithm>
#include <cmath>
#include <limits>

#include "app/panels/tone_curve_section.h"

namespace quillmere {
namespace {

// A view coordinate in curve units: 0 when the side has no extent, else clamped to 0...255.
double toCurve(double fraction) {
    if (!(fraction > 0)) return 0;
    return std::min(fraction * 255, 255.0);
}

// The column picked when no point is within reach must be this close in curve x.
constexpr double columnReach = 2;
// Beyond this many points a press inserts nothing.
constexpr std::size_t insertionLimit = 15;
constexpr double hitRadius = 10;

}  // namespace

QPointF ToneCurveSection::viewPoint(const CurvePoint& point, QSizeF size) {
    return {size.width() * point.x / 255, size.height() - size.height() * point.y / 255};
}

CurvePoint ToneCurveSection::curvePoint(QPointF location, QSizeF size) {
    const double x = size.width() > 0 ? toCurve(location.x() / size.width()) : 0;
    const double y =
        size.height() > 0 ? toCurve((size.height() - location.y()) / size.height()) : 0;
    return {x, y};
}

std::optional<std::size_t> ToneCurveSection::nearestPoint(const Points& points, QPointF location,
                                                          QSizeF size) {
    std::optional<std::size_t> nearest;
    double nearestDistance = std::numeric_limits<double>::infinity();
    for (std::size_t index = 0; index < points.size(); ++index) {
        const QPointF offset = viewPoint(points[index], size) - location;
        const double distance = std::hypot(offset.x(), offset.y());
        // Strictly nearer: on a tie the lower index stays.
        if (distance <= hitRadius && distance < nearestDistance) {
            nearest = index;
            nearestDistance = distance;
        }
    }
    return nearest;
}

ToneCurveSection::Edit ToneCurveSection::beginDrag(const Points& points, QPointF location,
                                                   QSizeF size) {
    if (auto hit = nearestPoint(points, location, size)) return {points, hit};
    const CurvePoint target = curvePoint(location, size);
    if (!points.empty()) {
        const auto closest = std::min_element(
            points.begin(), points.end(), [&](const CurvePoint& a, const CurvePoint& b) {
                return std::abs(a.x - target.x) < std::abs(b.x - target.x);
            });
        if (std::abs(closest->x - target.x) < columnReach) {
            return {points, static_cast<std::size_t>(closest - points.begin())};
        }
    }
    if (points.size() > insertionLimit) return {points, std::nullopt};
    return insertionResult(points, target.x, target.y);
}

ToneCurveSection::Edit ToneCurveSection::insertionResult(const Points& points, double x, double y) {
    const auto greater = std::find_if(points.begin(), points.end(),
                                      [&](const CurvePoint& point) { return point.x > x; });
    const std::size_t count = points.size();
    std::size_t index = static_cast<std::size_t>(greater - points.begin());
    index = std::clamp<std::size_t>(index, 1, std::max<std::size_t>(count, 2) - 1);
    // An empty list (a decoded edit may hold one) takes its first point at the start.
    index = std::min(index, count);
    Points inserted = points;
    inserted.insert(inserted.begin() + static_cast<std::ptrdiff_t>(index), CurvePoint{x, y});
    return {std::move(inserted), index};
}

ToneCurveSection::Points ToneCurveSection::movePoint(const Points& points, std::size_t index,
                                                     QPointF location, QSizeF size) {
    if (index >= points.size()) return points;
    const CurvePoint target = curvePoint(location, size);
    Points moved = points;
    if (index == 0) {
        moved[index] = {0, target.y};
    } else if (index == points.size() - 1) {
        moved[index] = {255, target.y};
    } else {
        const double previous = points[index - 1].x, next = points[index + 1].x;
        const double low = previous + columnReach, high = next - columnReach;
        const double x =
            low > high ? (previous + next) / 2 : std::min(std::max(target.x, low), high);
        moved[index] = {x, target.y};
    }
    return moved;
}

}  // namespace quillmere
