#include "core/render/export/export_options.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace quillmere {

std::string_view rawValue(ExportFormat format) {
    return format == ExportFormat::jpeg ? "jpeg" : "dng";
}

std::optional<ExportFormat> exportFormatFromRawValue(std::string_view text) {
    for (ExportFormat format : kAllExportFormats) {
        if (rawValue(format) == text) return format;
    }
    return std::nullopt;
}

std::string_view fileExtension(ExportFormat format) {
    return format == ExportFormat::jpeg ? "jpg" : "dng";
}

ExportOptions::PixelSize ExportOptions::pixelDimensions(std::int64_t width,
                                                        std::int64_t height) const {
    if (!maxLongEdge || *maxLongEdge < 1) return {width, height};
    const std::int64_t longEdge = std::max(width, height);
    if (*maxLongEdge >= longEdge) return {width, height};
    // Here 1 <= limit < long edge, so the scale lies in (0, 1) and the scaled edges stay within
    // the range of the input.
    const double scale = static_cast<double>(*maxLongEdge) / static_cast<double>(longEdge);
    const auto scaled = [scale](std::int64_t edge) {
        return std::max<std::int64_t>(1, std::llround(scale * static_cast<double>(edge)));
    };
    return {scaled(width), scaled(height)};
}

json::Json ExportOptions::encode(const CodingPath& path) const {
    json::Json object = json::Json::object();
    object["format"] = std::string(rawValue(format));
    object["quality"] = json::encodeDouble(quality, path / "quality");
    if (maxLongEdge) object["maxLongEdge"] = *maxLongEdge;
    object["includeSoftware"] = includeSoftware;
    object["includeEditParameters"] = includeEditParameters;
    return object;
}

ExportOptions ExportOptions::decode(const json::Json& value, const CodingPath& path) {
    json::requireObject(value, path);
    ExportOptions options;
    options.format = json::decodeRequired(
        value, "format", path, [](const json::Json& text, const CodingPath& keyPath) {
            const std::string raw = json::decodeString(text, keyPath);
            const auto format = exportFormatFromRawValue(raw);
            if (!format) {
                throw DecodingError::dataCorrupted(
                    keyPath, "Cannot initialize ExportFormat from invalid String value " + raw);
            }
            return *format;
        });
    options.quality = json::decodeRequired(value, "quality", path, json::decodeDouble);
    if (const json::Json* limit = json::presentValue(value, "maxLongEdge")) {
        options.maxLongEdge = json::decodeInt(*limit, path / "maxLongEdge");
    }
    options.includeSoftware =
        json::decodeRequired(value, "includeSoftware", path, json::decodeBool);
    options.includeEditParameters =
        json::decodeRequired(value, "includeEditParameters", path, json::decodeBool);
    return options;
}

std::string_view rawValue(ExportPreset preset) {
    switch (preset) {
        case ExportPreset::maximumQuality:
            return "maximumQuality";
        case ExportPreset::balanced:
            return "balanced";
        case ExportPreset::compact:
            break;
    }
    return "compact";
}

std::optional<ExportPreset> exportPresetFromRawValue(std::string_view text) {
    for (ExportPreset preset : kAllExportPresets) {
        if (rawValue(preset) == text) return preset;
    }
    return std::nullopt;
}

ExportOptions options(ExportPreset preset) {
    ExportOptions options{.format = ExportFormat::jpeg,
                          .quality = 1.0,
                          .maxLongEdge = std::nullopt,
                          .includeSoftware = true,
                          .includeEditParameters = true};
    switch (preset) {
        case ExportPreset::maximumQuality:
            break;
        case ExportPreset::balanced:
            options.quality = 0.9;
            break;
        case ExportPreset::compact:
            options.quality = 0.82;
            options.maxLongEdge = 2560;
            break;
    }
    return options;
}

}  // namespace quillmere
