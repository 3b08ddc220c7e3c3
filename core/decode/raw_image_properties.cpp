#include "core/decode/raw_image_properties.h"

#include <array>
#include <cmath>
#include <cstring>
#include <ctime>
#include <string>

namespace quillmere {
namespace {

// LibRaw's flip code (4 transpose, 2 mirror rows, 1 mirror columns) as an EXIF orientation.
constexpr std::array<int, 8> kOrientationOfFlip{1, 2, 4, 3, 5, 8, 6, 7};
// Beyond any camera's speed; a header claiming more is damaged.
constexpr double kHighestISO = 1e7;

std::optional<double> known(float value) {
    if (!(value > 0.0f) || !std::isfinite(value)) return std::nullopt;
    return static_cast<double>(value);
}

std::optional<std::string> knownText(const char* text, std::size_t capacity) {
    const std::string value(text, strnlen(text, capacity));
    if (value.empty()) return std::nullopt;
    return value;
}

// LibRaw reads the camera's clock as local time; reading it back the same way gives the clock's
// own digits.
std::optional<std::string> captureTime(std::int64_t timestamp) {
    if (timestamp <= 0) return std::nullopt;
    const std::time_t time = static_cast<std::time_t>(timestamp);
    std::tm local{};
    if (localtime_r(&time, &local) == nullptr) return std::nullopt;
    char text[32];
    if (std::strftime(text, sizeof text, "%Y:%m:%d %H:%M:%S", &local) == 0) return std::nullopt;
    return std::string(text);
}

template <class Value>
void fillIfAbsent(std::optional<Value>& field, std::optional<Value> value) {
    if (!field) field = std::move(value);
}

}  // namespace

ImageProperties completedRAWProperties(ImageProperties exif, const QXRAWCaptureInfo& info,
                                       int developedWidth, int developedHeight) {
    if (exif.isoSpeedRatings.empty()) {
        if (const std::optional<double> iso = known(info.iso); iso && *iso <= kHighestISO) {
            exif.isoSpeedRatings = {static_cast<std::int64_t>(std::lround(*iso))};
        }
    }
    fillIfAbsent(exif.exposureTime, known(info.exposure_time));
    fillIfAbsent(exif.fNumber, known(info.f_number));
    fillIfAbsent(exif.focalLength, known(info.focal_length));
    fillIfAbsent(exif.lensModel, knownText(info.lens, sizeof info.lens));
    fillIfAbsent(exif.dateTimeOriginal, captureTime(info.timestamp));
    fillIfAbsent(exif.make, knownText(info.make, sizeof info.make));
    fillIfAbsent(exif.model, knownText(info.model, sizeof info.model));
    if (!exif.orientation && info.orientation >= 0 && info.orientation < 8) {
        exif.orientation = kOrientationOfFlip[static_cast<std::size_t>(info.orientation)];
    }
    exif.pixelWidth = developedWidth;
    exif.pixelHeight = developedHeight;
    return exif;
}

}  // namespace quillmere
