#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "core/common/coding_path.h"
#include "core/common/json_coding.h"

namespace quillmere {

// Which exporter writes the file.
enum class ExportFormat { jpeg, dng };

inline constexpr std::array<ExportFormat, 2> kAllExportFormats{ExportFormat::jpeg,
                                                               ExportFormat::dng};

std::string_view rawValue(ExportFormat format);
// Exact, case-sensitive match of the raw value; anything else gives nothing.
std::optional<ExportFormat> exportFormatFromRawValue(std::string_view rawValue);
// "jpg" or "dng".
std::string_view fileExtension(ExportFormat format);

// What one export is asked to do, from the export sheet through the engine to the exporters.
struct ExportOptions {
    struct PixelSize {
        std::int64_t width = 0;
        std::int64_t height = 0;
        bool operator==(const PixelSize&) const = default;
    };

    ExportFormat format = ExportFormat::jpeg;
    // JPEG quality, 0 to 1; the JPEG exporter clamps it.
    double quality = 0;
    // Largest long edge in pixels; absent, zero or negative means no limit.
    std::optional<std::int64_t> maxLongEdge;
    // Write the creator identification "Quillmere".
    bool includeSoftware = false;
    // Write the embedded edit record.
    bool includeEditParameters = false;

    bool operator==(const ExportOptions&) const = default;

    // The output size for a source of `width` × `height`: scaled down uniformly so that the long
    // edge equals the limit, never enlarged, and never below 1 pixel per edge.
    PixelSize pixelDimensions(std::int64_t width, std::int64_t height) const;

    json::Json encode(const CodingPath& path = {}) const;
    // Every key but "maxLongEdge" is required.
    static ExportOptions decode(const json::Json& value, const CodingPath& path = {});
};

// Ready-made export options offered to callers.
enum class ExportPreset { maximumQuality, balanced, compact };

inline constexpr std::array<ExportPreset, 3> kAllExportPresets{
    ExportPreset::maximumQuality, ExportPreset::balanced, ExportPreset::compact};

std::string_view rawValue(ExportPreset preset);
std::optional<ExportPreset> exportPresetFromRawValue(std::string_view rawValue);
ExportOptions options(ExportPreset preset);

}  // namespace quillmere
