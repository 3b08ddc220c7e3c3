#include "core/imageio/image_properties.h"

#include <cmath>

namespace quillmere {
namespace {

template <class Value>
void setIfPresent(json::Json& dictionary, const char* key, const std::optional<Value>& value) {
    if (value) dictionary[key] = *value;
}

// A number that is not finite says nothing about the capture (and JSON cannot hold it), so it
// is left out like a missing one.
void setIfPresent(json::Json& dictionary, const char* key, const std::optional<double>& value) {
    if (value && std::isfinite(*value)) dictionary[key] = *value;
}

}  // namespace

json::Json ImageProperties::json() const {
    json::Json exif = json::Json::object();
    if (!isoSpeedRatings.empty()) exif["ISOSpeedRatings"] = isoSpeedRatings;
    setIfPresent(exif, "FocalLength", focalLength);
    setIfPresent(exif, "FNumber", fNumber);
    setIfPresent(exif, "ExposureTime", exposureTime);
    setIfPresent(exif, "LensModel", lensModel);
    setIfPresent(exif, "DateTimeOriginal", dateTimeOriginal);

    json::Json tiff = json::Json::object();
    setIfPresent(tiff, "Make", make);
    setIfPresent(tiff, "Model", model);

    json::Json properties = json::Json::object();
    if (!exif.empty()) properties["{Exif}"] = std::move(exif);
    if (!tiff.empty()) properties["{TIFF}"] = std::move(tiff);
    setIfPresent(properties, "Orientation", orientation);
    setIfPresent(properties, "PixelWidth", pixelWidth);
    setIfPresent(properties, "PixelHeight", pixelHeight);
    return properties;
}

}  // namespace quillmere
