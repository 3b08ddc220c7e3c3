#include "core/edit/spot_repair.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>

#include "core/edit/uuid_coding.h"

namespace quillmere {
namespace {

constexpr double kMaximumRadius = 0.1;

bool isUnitFraction(double value) { return std::isfinite(value) && value >= 0 && value <= 1; }

}  // namespace

bool SpotRepair::Point::isValid() const { return isUnitFraction(x) && isUnitFraction(y); }

json::Json SpotRepair::Point::encode(const CodingPath& path) const {
    return json::Json(encodeOrdered(path));
}

json::OrderedJson SpotRepair::Point::encodeOrdered(const CodingPath& path) const {
    json::OrderedJson object = json::OrderedJson::object();
    object["x"] = json::encodeDouble(x, path / "x");
    object["y"] = json::encodeDouble(y, path / "y");
    return object;
}

SpotRepair::Point SpotRepair::Point::decode(const json::Json& value, const CodingPath& path) {
    json::requireObject(value, path);
    return {
        .x = json::decodeRequired(value, "x", path, json::decodeDouble),
        .y = json::decodeRequired(value, "y", path, json::decodeDouble),
    };
}

SpotRepair::SpotRepair(UUID id, double x, double y, double radius, std::vector<Point> path)
    : id(id), x(x), y(y), radius(radius), path(std::move(path)) {}

bool SpotRepair::isValid() const {
    const bool radiusValid = std::isfinite(radius) && radius > 0 && radius <= kMaximumRadius;
    return isUnitFraction(x) && isUnitFraction(y) && radiusValid &&
           std::all_of(path.begin(), path.end(),
                       [](const Point& point) { return point.isValid(); });
}

std::vector<SpotRepair::Point> SpotRepair::points() const {
    std::vector<Point> stroke;
    stroke.reserve(path.size() + 1);
    stroke.push_back({x, y});
    stroke.insert(stroke.end(), path.begin(), path.end());
    return stroke;
}

json::Json SpotRepair::encode(const CodingPath& codingPath) const {
    return json::Json(encodeOrdered(codingPath));
}

json::OrderedJson SpotRepair::encodeOrdered(const CodingPath& codingPath) const {
    json::OrderedJson object = json::OrderedJson::object();
    object["id"] = json::encodeUUID(id);
    object["x"] = json::encodeDouble(x, codingPath / "x");
    object["y"] = json::encodeDouble(y, codingPath / "y");
    object["radius"] = json::encodeDouble(radius, codingPath / "radius");
    json::OrderedJson pathArray = json::OrderedJson::array();
    for (std::size_t index = 0; index < path.size(); ++index) {
        pathArray.push_back(path[index].encodeOrdered(codingPath / "path" / index));
    }
    object["path"] = std::move(pathArray);
    return object;
}

SpotRepair SpotRepair::decode(const json::Json& value, const CodingPath& codingPath) {
    json::requireObject(value, codingPath);
    const UUID id = json::decodeRequired(value, "id", codingPath, json::decodeUUID);
    const double x = json::decodeRequired(value, "x", codingPath, json::decodeDouble);
    const double y = json::decodeRequired(value, "y", codingPath, json::decodeDouble);
    const double radius = json::decodeRequired(value, "radius", codingPath, json::decodeDouble);
    std::vector<Point> path;
    json::decodeIfPresent(value, "path", codingPath, path,
                          [](const json::Json& array, const CodingPath& arrayPath) {
                              return json::decodeArray(array, arrayPath, Point::decode);
                          });
    return SpotRepair(id, x, y, radius, std::move(path));
}

}  // namespace quillmere
