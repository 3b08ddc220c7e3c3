#include "core/edit/sharpening_settings.h"

#include <algorithm>
#include <cmath>

namespace quillmere {
namespace {

double clampedOrFallback(double value, double lower, double upper, double fallback) {
    if (!std::isfinite(value)) return fallback;
    return std::min(std::max(value, lower), upper);
}

}  // namespace

SharpeningSettings SharpeningSettings::sanitized() const {
    constexpr SharpeningSettings fallback = neutral();
    return {
        .amount = clampedOrFallback(amount, 0, 150, fallback.amount),
        .radius = clampedOrFallback(radius, 0.5, 3, fallback.radius),
        .detail = clampedOrFallback(detail, 0, 100, fallback.detail),
        .masking = clampedOrFallback(masking, 0, 100, fallback.masking),
        .preserveRAWTexture = preserveRAWTexture,
    };
}

json::Json SharpeningSettings::encode(const CodingPath& path) const {
    return json::Json(encodeOrdered(path));
}

json::OrderedJson SharpeningSettings::encodeOrdered(const CodingPath& path) const {
    json::OrderedJson object = json::OrderedJson::object();
    object["amount"] = json::encodeDouble(amount, path / "amount");
    object["radius"] = json::encodeDouble(radius, path / "radius");
    object["detail"] = json::encodeDouble(detail, path / "detail");
    object["masking"] = json::encodeDouble(masking, path / "masking");
    object["preserveRAWTexture"] = preserveRAWTexture;
    return object;
}

SharpeningSettings SharpeningSettings::decode(const json::Json& value, const CodingPath& path) {
    json::requireObject(value, path);
    SharpeningSettings settings = neutral();
    json::decodeIfPresent(value, "amount", path, settings.amount, json::decodeDouble);
    json::decodeIfPresent(value, "radius", path, settings.radius, json::decodeDouble);
    json::decodeIfPresent(value, "detail", path, settings.detail, json::decodeDouble);
    json::decodeIfPresent(value, "masking", path, settings.masking, json::decodeDouble);
    json::decodeIfPresent(value, "preserveRAWTexture", path, settings.preserveRAWTexture,
                          json::decodeBool);
    return settings.sanitized();
}

}  // namespace quillmere
