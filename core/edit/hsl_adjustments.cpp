#include "core/edit/hsl_adjustments.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "core/edit/uuid_coding.h"

namespace quillmere {
namespace {

struct BandDescription {
    std::string_view displayName;
    double centerDegrees;
};

// Indexed by raw value. The centres are unevenly spaced on purpose (blue to purple is 45
// degrees), and the tone pass receives the same eight.
constexpr std::array<BandDescription, HSLAdjustments::bandCount> kBandDescriptions{{
    {"Red", 0},
    {"Orange", 30},
    {"Yellow", 60},
    {"Green", 120},
    {"Aqua", 180},
    {"Blue", 240},
    {"Purple", 285},
    {"Magenta", 330},
}};

constexpr double kBandValueLimit = 100;

std::size_t indexOf(HSLAdjustments::Band band) { return static_cast<std::size_t>(band); }

json::OrderedJson encodeBandValues(const HSLAdjustments::BandValues& values,
                                   const CodingPath& path) {
    json::OrderedJson array = json::OrderedJson::array();
    for (std::size_t index = 0; index < values.size(); ++index) {
        array.emplace_back(json::encodeDouble(values[index], path / index));
    }
    return array;
}

HSLAdjustments::BandValues decodeBandValues(const json::Json& value, const CodingPath& path) {
    const std::vector<double> read = json::decodeArray(value, path, json::decodeDouble);
    const bool eightFinite =
        read.size() == HSLAdjustments::bandCount &&
        std::all_of(read.begin(), read.end(), [](double number) { return std::isfinite(number); });
    if (!eightFinite) throw DecodingError::dataCorrupted(path, "Expected eight finite values");
    HSLAdjustments::BandValues values{};
    std::transform(read.begin(), read.end(), values.begin(), [](double number) {
        return std::clamp(number, -kBandValueLimit, kBandValueLimit);
    });
    return values;
}

std::vector<PointColor> decodePoints(const json::Json& value, const CodingPath& path) {
    // Every point must decode, even beyond the ones kept, or the mixer is damaged.
    std::vector<PointColor> points = json::decodeArray(value, path, PointColor::decode);
    if (points.size() > HSLAdjustments::maximumPointCount) {
        points.erase(points.begin() + HSLAdjustments::maximumPointCount, points.end());
    }
    return points;
}

}  // namespace

PointColor::PointColor(double hue, double saturation, double brightness)
    : id(UUID::random()), hue(hue), saturation(saturation), brightness(brightness) {}

bool PointColor::isNeutral() const {
    return hueShift == 0 && saturationShift == 0 && luminanceShift == 0 && variance == 0;
}

json::Json PointColor::encode(const CodingPath& path) const {
    return json::Json(encodeOrdered(path));
}

json::OrderedJson PointColor::encodeOrdered(const CodingPath& path) const {
    json::OrderedJson object = json::OrderedJson::object();
    object["id"] = json::encodeUUID(id);
    object["hue"] = json::encodeDouble(hue, path / "hue");
    object["saturation"] = json::encodeDouble(saturation, path / "saturation");
    object["brightness"] = json::encodeDouble(brightness, path / "brightness");
    object["hueRange"] = json::encodeDouble(hueRange, path / "hueRange");
    object["saturationRange"] = json::encodeDouble(saturationRange, path / "saturationRange");
    object["luminanceRange"] = json::encodeDouble(luminanceRange, path / "luminanceRange");
    object["range"] = json::encodeDouble(range, path / "range");
    object["hueShift"] = json::encodeDouble(hueShift, path / "hueShift");
    object["saturationShift"] = json::encodeDouble(saturationShift, path / "saturationShift");
    object["luminanceShift"] = json::encodeDouble(luminanceShift, path / "luminanceShift");
    object["variance"] = json::encodeDouble(variance, path / "variance");
    return object;
}

PointColor PointColor::decode(const json::Json& value, const CodingPath& path) {
    json::requireObject(value, path);
    const auto number = [&](std::string_view key) {
        return json::decodeRequired(value, key, path, json::decodeDouble);
    };
    // Read in key order, so the first damaged key is the one reported.
    const UUID id = json::decodeRequired(value, "id", path, json::decodeUUID);
    const double hue = number("hue");
    const double saturation = number("saturation");
    const double brightness = number("brightness");
    PointColor point(hue, saturation, brightness);
    point.id = id;
    point.hueRange = number("hueRange");
    point.saturationRange = number("saturationRange");
    point.luminanceRange = number("luminanceRange");
    point.range = number("range");
    point.hueShift = number("hueShift");
    point.saturationShift = number("saturationShift");
    point.luminanceShift = number("luminanceShift");
    point.variance = number("variance");
    return point;
}

HSLAdjustments::HSLAdjustments(const BandValues& hue, const BandValues& saturation,
                               const BandValues& luminance)
    : hue(hue), saturation(saturation), luminance(luminance) {}

const HSLAdjustments& HSLAdjustments::neutral() {
    static const HSLAdjustments neutralMixer{};
    return neutralMixer;
}

bool HSLAdjustments::isNeutral() const {
    const auto allZero = [](const BandValues& values) {
        return std::all_of(values.begin(), values.end(), [](double value) { return value == 0; });
    };
    return !blackAndWhite && allZero(hue) && allZero(saturation) && allZero(luminance) &&
           std::all_of(points.begin(), points.end(),
                       [](const PointColor& point) { return point.isNeutral(); });
}

double& HSLAdjustments::hueFor(Band band) { return hue[indexOf(band)]; }
double& HSLAdjustments::saturationFor(Band band) { return saturation[indexOf(band)]; }
double& HSLAdjustments::luminanceFor(Band band) { return luminance[indexOf(band)]; }

json::Json HSLAdjustments::encode(const CodingPath& path) const {
    return json::Json(encodeOrdered(path));
}

json::OrderedJson HSLAdjustments::encodeOrdered(const CodingPath& path) const {
    json::OrderedJson object = json::OrderedJson::object();
    object["hue"] = encodeBandValues(hue, path / "hue");
    object["saturation"] = encodeBandValues(saturation, path / "saturation");
    object["luminance"] = encodeBandValues(luminance, path / "luminance");
    json::OrderedJson pointArray = json::OrderedJson::array();
    for (std::size_t index = 0; index < points.size(); ++index) {
        pointArray.push_back(points[index].encodeOrdered(path / "points" / index));
    }
    object["points"] = std::move(pointArray);
    object["blackAndWhite"] = blackAndWhite;
    return object;
}

HSLAdjustments HSLAdjustments::decode(const json::Json& value, const CodingPath& path) {
    json::requireObject(value, path);
    const BandValues hue = json::decodeRequired(value, "hue", path, decodeBandValues);
    const BandValues saturation = json::decodeRequired(value, "saturation", path, decodeBandValues);
    const BandValues luminance = json::decodeRequired(value, "luminance", path, decodeBandValues);
    HSLAdjustments mixer(hue, saturation, luminance);
    json::decodeIfPresent(value, "blackAndWhite", path, mixer.blackAndWhite, json::decodeBool);
    json::decodeIfPresent(value, "points", path, mixer.points, decodePoints);
    return mixer;
}

std::int64_t rawValue(HSLAdjustments::Band band) { return static_cast<std::int64_t>(band); }

std::optional<HSLAdjustments::Band> bandFromRawValue(std::int64_t rawValue) {
    if (rawValue < 0 || rawValue >= static_cast<std::int64_t>(HSLAdjustments::bandCount)) {
        return std::nullopt;
    }
    return static_cast<HSLAdjustments::Band>(rawValue);
}

std::string_view displayName(HSLAdjustments::Band band) {
    return kBandDescriptions[indexOf(band)].displayName;
}

double centerDegrees(HSLAdjustments::Band band) {
    return kBandDescriptions[indexOf(band)].centerDegrees;
}

json::Json encodeBand(HSLAdjustments::Band band) { return json::Json(rawValue(band)); }

HSLAdjustments::Band decodeBand(const json::Json& value, const CodingPath& path) {
    const std::int64_t raw = json::decodeInt(value, path);
    if (auto band = bandFromRawValue(raw)) return *band;
    throw DecodingError::dataCorrupted(
        path, "Cannot initialize Band from invalid Int value " + std::to_string(raw));
}

}  // namespace quillmere
