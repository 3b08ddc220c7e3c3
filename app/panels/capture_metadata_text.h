#pragma once

#include <optional>
#include <string>

#include "core/common/json_coding.h"

namespace quillmere {

// How the open photo was taken, as the capture data view words it, from the photo's image
// properties ("{Exif}" and "{TIFF}"). Only JSON numbers count as numbers and only JSON strings
// as texts; anything missing or of another kind takes its dash form or is left out.
struct CaptureMetadataText {
    // "ISO 100", or "ISO —".
    std::string iso;
    // "35 mm", "24.0 mm", or "— mm".
    std::string focalLength;
    // "ƒ/2.8", "ƒ/8", or "ƒ/—".
    std::string aperture;
    // "1/250s" below a second, "2s" or "2.5s" from a second on (and at 0 or below), or "— s".
    std::string exposureTime;
    // The camera model, when the photo names one.
    std::optional<std::string> model;
    // The lens and the capture date as stored, joined by " · ", each only when present.
    std::string toolTip;

    static CaptureMetadataText from(const json::Json& properties);

    // A whole number without decimals, anything else with one ("%.0f" or "%.1f", no locale).
    static std::string format(double value);
};

}  // namespace quillmere
