#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/common/json_coding.h"

namespace quillmere {

// The capture properties of a photo's first image, which the application shows and the loader
// keeps with an opened photo. Each field is empty when the file does not state it, so a reader
// of another source (LibRaw for a RAW file) can fill in what one source left open.
struct ImageProperties {
    std::vector<std::int64_t> isoSpeedRatings;
    std::optional<double> focalLength;  // millimetres
    std::optional<double> fNumber;
    std::optional<double> exposureTime;  // seconds
    std::optional<std::string> lensModel;
    std::optional<std::string> dateTimeOriginal;  // as stored, "YYYY:MM:DD HH:MM:SS"
    std::optional<std::string> make;
    std::optional<std::string> model;
    std::optional<int> orientation;  // EXIF orientation 1 to 8
    // The stored image's size, before its orientation is applied.
    std::optional<std::int64_t> pixelWidth;
    std::optional<std::int64_t> pixelHeight;

    // The properties as the platform's image-property dictionary: "{Exif}" with
    // "ISOSpeedRatings" (a list), "FocalLength", "FNumber", "ExposureTime", "LensModel" and
    // "DateTimeOriginal"; "{TIFF}" with "Make" and "Model"; top-level "Orientation",
    // "PixelWidth" and "PixelHeight". Absent fields, and dictionaries left empty, are not written.
    json::Json json() const;

    bool operator==(const ImageProperties&) const = default;
};

}  // namespace quillmere
