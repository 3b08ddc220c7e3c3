#include "core/edit/preset_values.h"

namespace quillmere {
namespace {

// The numeric fields in coding order, each with its key.
struct OptionalScalarField {
    const char* key;
    std::optional<double> PresetValues::*member;
};

constexpr OptionalScalarField kScalarFields[] = {
    {"exposure", &PresetValues::exposure},
    {"contrast", &PresetValues::contrast},
    {"highlights", &PresetValues::highlights},
    {"shadows", &PresetValues::shadows},
    {"whites", &PresetValues::whites},
    {"blacks", &PresetValues::blacks},
    {"temperature", &PresetValues::temperature},
    {"tint", &PresetValues::tint},
    {"temperatureScale", &PresetValues::temperatureScale},
    {"tintShift", &PresetValues::tintShift},
    {"vibrance", &PresetValues::vibrance},
    {"saturation", &PresetValues::saturation},
    {"denoise", &PresetValues::denoise},
};

// A setting a partial edit carries under the same name as the edit and replaces directly when
// set, with the capture group it belongs to. White balance has rules of its own.
struct SharedScalar {
    std::optional<double> PresetValues::*partial;
    double EditParams::*edit;
    bool PresetCaptureOptions::*group;
};

constexpr SharedScalar kSharedScalars[] = {
    {&PresetValues::exposure, &EditParams::exposure, &PresetCaptureOptions::tone},
    {&PresetValues::contrast, &EditParams::contrast, &PresetCaptureOptions::tone},
    {&PresetValues::highlights, &EditParams::highlights, &PresetCaptureOptions::tone},
    {&PresetValues::shadows, &EditParams::shadows, &PresetCaptureOptions::tone},
    {&PresetValues::whites, &EditParams::whites, &PresetCaptureOptions::tone},
    {&PresetValues::blacks, &EditParams::blacks, &PresetCaptureOptions::tone},
    {&PresetValues::vibrance, &EditParams::vibrance, &PresetCaptureOptions::presence},
    {&PresetValues::saturation, &EditParams::saturation, &PresetCaptureOptions::presence},
    {&PresetValues::denoise, &EditParams::denoise, &PresetCaptureOptions::denoise},
};

// A relative white balance stays within what the controls offer; NaN passes through so a broken
// value shows up rather than being hidden at a bound.
double clampKeepingNaN(double value, double low, double high) {
    if (value <= low) return low;
    if (value > high) return high;
    return value;
}

constexpr double kMinimumTemperature = 2000;
constexpr double kMaximumTemperature = 50000;
constexpr double kTintLimit = 150;

}  // namespace

bool PresetCaptureOptions::hasSelection() const {
    return tone || whiteBalance || presence || toneCurve || colorMixer || denoise || sharpening;
}

PresetValues PresetValues::capturing(const EditParams& edit, const PresetCaptureOptions& options) {
    PresetValues values;
    for (const SharedScalar& field : kSharedScalars) {
        if (options.*field.group) values.*field.partial = edit.*field.edit;
    }
    if (options.whiteBalance) {
        values.temperature = edit.temperature;
        values.tint = edit.tint;
    }
    if (options.toneCurve && !edit.toneCurve.isIdentity()) values.toneCurve = edit.toneCurve;
    // Point colours that shift nothing yet are still the user's picks, so they are kept.
    if (options.colorMixer && !(edit.hsl.isNeutral() && edit.hsl.points.empty())) {
        values.hsl = edit.hsl;
    }
    if (options.denoise) values.denoiseMethod = edit.denoiseMethod;
    if (options.sharpening) values.sharpening = edit.sharpening;
    return values;
}

PresetValues PresetValues::capturing(const EditParams& edit, bool includeWhiteBalance) {
    return capturing(edit, PresetCaptureOptions{.tone = true,
                                                .whiteBalance = includeWhiteBalance,
                                                .presence = true,
                                                .toneCurve = true,
                                                .colorMixer = true,
                                                .denoise = true,
                                                .sharpening = true});
}

PresetValues PresetValues::changes(const EditParams& from, const EditParams& to) {
    PresetValues values;
    for (const SharedScalar& field : kSharedScalars) {
        if (from.*field.edit != to.*field.edit) values.*field.partial = to.*field.edit;
    }
    if (from.temperature != to.temperature) values.temperature = to.temperature;
    if (from.tint != to.tint) values.tint = to.tint;
    if (from.denoiseMethod != to.denoiseMethod) values.denoiseMethod = to.denoiseMethod;
    if (from.sharpening != to.sharpening) values.sharpening = to.sharpening;
    if (from.toneCurve != to.toneCurve) values.toneCurve = to.toneCurve;
    if (from.hsl != to.hsl) values.hsl = to.hsl;
    return values;
}

PresetValues PresetValues::allReusable(const EditParams& edit) {
    PresetValues values;
    for (const SharedScalar& field : kSharedScalars) values.*field.partial = edit.*field.edit;
    values.temperature = edit.temperature;
    values.tint = edit.tint;
    values.denoiseMethod = edit.denoiseMethod;
    values.sharpening = edit.sharpening;
    values.toneCurve = edit.toneCurve;
    values.hsl = edit.hsl;
    return values;
}

PresetValues PresetValues::overlaying(const PresetValues& newer) const {
    PresetValues merged = *this;
    for (const SharedScalar& field : kSharedScalars) {
        if (newer.*field.partial) merged.*field.partial = newer.*field.partial;
    }
    if (newer.temperature) merged.temperature = newer.temperature;
    if (newer.tint) merged.tint = newer.tint;
    if (newer.denoiseMethod) merged.denoiseMethod = newer.denoiseMethod;
    if (newer.sharpening) merged.sharpening = newer.sharpening;
    if (newer.toneCurve) merged.toneCurve = newer.toneCurve;
    if (newer.hsl) merged.hsl = newer.hsl;
    return merged;
}

json::Json PresetValues::encode(const CodingPath& path) const {
    json::Json object = json::Json::object();
    for (const OptionalScalarField& field : kScalarFields) {
        if (const auto& value = this->*field.member) {
            object[field.key] = json::encodeDouble(*value, path / field.key);
        }
    }
    if (denoiseMethod) object["denoiseMethod"] = encodeDenoiseMethod(*denoiseMethod);
    if (sharpening) object["sharpening"] = sharpening->encode(path / "sharpening");
    if (toneCurve) object["toneCurve"] = toneCurve->encode(path / "toneCurve");
    if (hsl) object["hsl"] = hsl->encode(path / "hsl");
    return object;
}

PresetValues PresetValues::decode(const json::Json& value, const CodingPath& path) {
    json::requireObject(value, path);
    PresetValues values;
    for (const OptionalScalarField& field : kScalarFields) {
        json::decodeIfPresent(value, field.key, path, values.*field.member, json::decodeDouble);
    }
    json::decodeIfPresent(value, "denoiseMethod", path, values.denoiseMethod, decodeDenoiseMethod);
    json::decodeIfPresent(value, "sharpening", path, values.sharpening, SharpeningSettings::decode);
    json::decodeIfPresent(value, "toneCurve", path, values.toneCurve, ToneCurve::decode);
    json::decodeIfPresent(value, "hsl", path, values.hsl, HSLAdjustments::decode);
    return values;
}

EditParams applying(const EditParams& edit, const PresetValues& values) {
    EditParams result = edit;
    for (const SharedScalar& field : kSharedScalars) {
        if (const auto& value = values.*field.partial) result.*field.edit = *value;
    }
    if (values.temperature) {
        result.temperature = *values.temperature;
    } else if (values.temperatureScale) {
        result.temperature = clampKeepingNaN(edit.temperature * *values.temperatureScale,
                                             kMinimumTemperature, kMaximumTemperature);
    }
    if (values.tint) {
        result.tint = *values.tint;
    } else if (values.tintShift) {
        result.tint = clampKeepingNaN(edit.tint + *values.tintShift, -kTintLimit, kTintLimit);
    }
    if (values.denoiseMethod) result.denoiseMethod = *values.denoiseMethod;
    if (values.sharpening) result.sharpening = values.sharpening->sanitized();
    if (values.toneCurve) result.toneCurve = *values.toneCurve;
    if (values.hsl) result.hsl = *values.hsl;
    return result;
}

}  // namespace quillmere
