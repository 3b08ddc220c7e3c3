#include "app/panels/capture_metadata_text.h"

#include <fmt/format.h>

#include <cmath>

namespace quillmere {
namespace {

const std::string kEmDash = "\u2014";

// The dictionary under `key`, or an empty one when there is none.
const json::Json& dictionary(const json::Json& properties, const char* key) {
    static const json::Json empty = json::Json::object();
    if (!properties.is_object()) return empty;
    const auto found = properties.find(key);
    return found != properties.end() && found->is_object() ? *found : empty;
}

std::optional<double> number(const json::Json& dictionary, const char* key) {
    const auto found = dictionary.find(key);
    // A bool is a JSON boolean, never a number.
    if (found == dictionary.end() || !found->is_number()) return std::nullopt;
    return found->get<double>();
}

std::optional<std::string> text(const json::Json& dictionary, const char* key) {
    const auto found = dictionary.find(key);
    if (found == dictionary.end() || !found->is_string()) return std::nullopt;
    return found->get<std::string>();
}

// A number as written in the file: integers without decimals, other values in their shortest
// exact form.
std::string plainNumber(const json::Json& value) {
    if (value.is_number_integer()) return fmt::format("{}", value.get<std::int64_t>());
    if (value.is_number_unsigned()) return fmt::format("{}", value.get<std::uint64_t>());
    const double real = value.get<double>();
    if (std::isfinite(real) && real == std::trunc(real) && std::fabs(real) < 1e15) {
        return fmt::format("{:.0f}", real + 0.0);
    }
    return fmt::format("{}", real);
}

std::string isoText(const json::Json& exif) {
    const auto found = exif.find("ISOSpeedRatings");
    if (found != exif.end() && found->is_array() && !found->empty() &&
        found->front().is_number()) {
        return "ISO " + plainNumber(found->front());
    }
    return "ISO " + kEmDash;
}

std::string exposureTimeText(std::optional<double> seconds) {
    if (!seconds) return kEmDash + " s";
    const double t = *seconds;
    if (t > 0 && t < 1) {
        const double denominator = std::round(1 / t);
        // Beyond 64 bits the fraction has no integer to show: the decimal form keeps the view
        // working.
        if (denominator < 0x1p63) return fmt::format("1/{:.0f}s", denominator);
    }
    return CaptureMetadataText::format(t) + "s";
}

}  // namespace

std::string CaptureMetadataText::format(double value) {
    return value == std::round(value) ? fmt::format("{:.0f}", value)
                                      : fmt::format("{:.1f}", value);
}

CaptureMetadataText CaptureMetadataText::from(const json::Json& properties) {
    const json::Json& exif = dictionary(properties, "{Exif}");
    const json::Json& tiff = dictionary(properties, "{TIFF}");
    CaptureMetadataText result;
    result.iso = isoText(exif);
    const std::optional<double> focalLength = number(exif, "FocalLength");
    result.focalLength = (focalLength ? format(*focalLength) : kEmDash) + " mm";
    const std::optional<double> aperture = number(exif, "FNumber");
    result.aperture = "\u0192/" + (aperture ? format(*aperture) : kEmDash);
    result.exposureTime = exposureTimeText(number(exif, "ExposureTime"));
    result.model = text(tiff, "Model");

    for (const std::optional<std::string>& part :
         {text(exif, "LensModel"), text(exif, "DateTimeOriginal")}) {
        if (!part) continue;
        if (!result.toolTip.empty()) result.toolTip += " \u00b7 ";
        result.toolTip += *part;
    }
    return result;
}

}  // namespace quillmere
