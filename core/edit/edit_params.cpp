#include "core/edit/edit_params.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace quillmere {
namespace {

// The scalar settings in their coding order, each with its key.
struct ScalarField {
    const char* key;
    double EditParams::*member;
};

constexpr ScalarField kScalarFields[] = {
    {"exposure", &EditParams::exposure},       {"contrast", &EditParams::contrast},
    {"highlights", &EditParams::highlights},   {"shadows", &EditParams::shadows},
    {"whites", &EditParams::whites},           {"blacks", &EditParams::blacks},
    {"temperature", &EditParams::temperature}, {"tint", &EditParams::tint},
    {"vibrance", &EditParams::vibrance},       {"saturation", &EditParams::saturation},
    {"denoise", &EditParams::denoise},
};

std::vector<SpotRepair> decodeSpotRepairs(const json::Json& value, const CodingPath& path) {
    return json::decodeArray(value, path, SpotRepair::decode);
}

}  // namespace

EditParams EditParams::neutral(double asShotTemperature, double asShotTint) {
    EditParams params;
    params.temperature = asShotTemperature;
    params.tint = asShotTint;
    return params;
}

float EditParams::denoiseFraction() const {
    if (!std::isfinite(denoise) || denoise < 0) return 0;
    return static_cast<float>(std::min(denoise, 100.0) / 100.0);
}

json::Json EditParams::encode(const CodingPath& path) const {
    return json::Json(encodeOrdered(path));
}

json::OrderedJson EditParams::encodeOrdered(const CodingPath& path) const {
    json::OrderedJson object = json::OrderedJson::object();
    for (const ScalarField& field : kScalarFields) {
        object[field.key] = json::encodeDouble(this->*field.member, path / field.key);
    }
    object["denoiseMethod"] = encodeDenoiseMethod(denoiseMethod);
    object["sharpening"] = sharpening.encodeOrdered(path / "sharpening");
    object["toneCurve"] = toneCurve.encodeOrdered(path / "toneCurve");
    object["hsl"] = hsl.encodeOrdered(path / "hsl");
    json::OrderedJson repairs = json::OrderedJson::array();
    for (std::size_t index = 0; index < spotRepairs.size(); ++index) {
        repairs.push_back(spotRepairs[index].encodeOrdered(path / "spotRepairs" / index));
    }
    object["spotRepairs"] = std::move(repairs);
    return object;
}

EditParams EditParams::decode(const json::Json& value, const CodingPath& path) {
    json::requireObject(value, path);
    EditParams params;
    for (const ScalarField& field : kScalarFields) {
        json::decodeIfPresent(value, field.key, path, params.*field.member, json::decodeDouble);
    }
    json::decodeIfPresent(value, "denoiseMethod", path, params.denoiseMethod, decodeDenoiseMethod);
    json::decodeIfPresent(value, "sharpening", path, params.sharpening, SharpeningSettings::decode);
    json::decodeIfPresent(value, "toneCurve", path, params.toneCurve, ToneCurve::decode);
    json::decodeIfPresent(value, "hsl", path, params.hsl, HSLAdjustments::decode);
    json::decodeIfPresent(value, "spotRepairs", path, params.spotRepairs, decodeSpotRepairs);
    // A repair the renderer could not place (off the image, no or an oversized brush) is dropped
    // quietly; the rest of the edit is still good.
    std::erase_if(params.spotRepairs, [](const SpotRepair& repair) { return !repair.isValid(); });
    return params;
}

}  // namespace quillmere
