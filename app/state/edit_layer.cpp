#include "app/state/edit_layer.h"

#include <cmath>
#include <cstddef>

#include "app/state/number_text.h"
#include "app/state/slider_field.h"

namespace quillmere {
namespace {

struct LayerNames {
    std::string_view rawValue;
    std::string_view title;
};

LayerNames namesOf(EditLayer layer) {
    switch (layer) {
        case EditLayer::spotRepair:
            return {"spotRepair", "Spot Repair"};
        case EditLayer::denoise:
            return {"denoise", "Denoise"};
        case EditLayer::sharpening:
            return {"sharpening", "Sharpening"};
        case EditLayer::temperature:
            return {"temperature", "Temperature"};
        case EditLayer::tint:
            return {"tint", "Tint"};
        case EditLayer::exposure:
            return {"exposure", "Exposure"};
        case EditLayer::contrast:
            return {"contrast", "Contrast"};
        case EditLayer::highlights:
            return {"highlights", "Highlights"};
        case EditLayer::shadows:
            return {"shadows", "Shadows"};
        case EditLayer::whites:
            return {"whites", "Whites"};
        case EditLayer::blacks:
            return {"blacks", "Blacks"};
        case EditLayer::vibrance:
            return {"vibrance", "Vibrance"};
        case EditLayer::saturation:
            return {"saturation", "Saturation"};
        case EditLayer::toneCurve:
            return {"toneCurve", "Tone Curve"};
        case EditLayer::colorMixer:
            return {"colorMixer", "Color Mixer"};
    }
    return {"", ""};
}

// The band values a user has moved, out of the 24 hue, saturation and luminance values.
int hslEditCount(const HSLAdjustments& hsl) {
    int count = 0;
    for (const HSLAdjustments::BandValues* values : {&hsl.hue, &hsl.saturation, &hsl.luminance}) {
        for (double value : *values) {
            if (std::abs(value) >= 0.005) ++count;
        }
    }
    return count;
}

}  // namespace

std::string_view rawValue(EditLayer layer) { return namesOf(layer).rawValue; }

std::optional<EditLayer> editLayerFromRawValue(std::string_view text) {
    for (EditLayer layer : allEditLayers) {
        if (rawValue(layer) == text) return layer;
    }
    return std::nullopt;
}

std::string_view title(EditLayer layer) { return namesOf(layer).title; }

bool isActive(EditLayer layer, const EditParams& params, NeutralWhiteBalance neutral) {
    switch (layer) {
        case EditLayer::spotRepair:
            return !params.spotRepairs.empty();
        case EditLayer::denoise:
            return params.denoise != 0;
        case EditLayer::sharpening: {
            const SharpeningSettings sharpening = params.sharpening.sanitized();
            return sharpening.amount > 0 || sharpening.preserveRAWTexture;
        }
        case EditLayer::temperature:
            return std::abs(params.temperature - neutral.temperature) >= 0.5;
        case EditLayer::tint:
            return std::abs(params.tint - neutral.tint) >= 0.005;
        case EditLayer::exposure:
            return std::abs(params.exposure) >= 0.005;
        case EditLayer::toneCurve:
            return !params.toneCurve.isIdentity();
        case EditLayer::colorMixer:
            return !params.hsl.isNeutral();
        default:
            return sliderValue(params, layer) != 0;
    }
}

std::string valueText(EditLayer layer, const EditParams& params) {
    switch (layer) {
        case EditLayer::spotRepair: {
            const std::size_t count = params.spotRepairs.size();
            return std::to_string(count) + (count == 1 ? " stroke" : " strokes");
        }
        case EditLayer::denoise:
            return compactText(roundedText(params.denoise), params.denoise, false) + " · " +
                   std::string(title(params.denoiseMethod));
        case EditLayer::sharpening: {
            const SharpeningSettings sharpening = params.sharpening.sanitized();
            return roundedText(sharpening.amount) + " · " + fixedText(sharpening.radius, 1) +
                   " px" + (sharpening.preserveRAWTexture ? " · RAW" : "");
        }
        case EditLayer::temperature:
            return compactText(roundedText(params.temperature), params.temperature, false) + " K";
        case EditLayer::tint:
            return compactText(signedText(params.tint, 0), params.tint, true);
        case EditLayer::exposure:
            return compactText(signedText(params.exposure, 2), params.exposure, true);
        case EditLayer::toneCurve:
            return "Custom";
        case EditLayer::colorMixer:
            return std::to_string(hslEditCount(params.hsl)) + " values · " +
                   std::to_string(params.hsl.points.size()) + " points";
        default: {
            const double value = sliderValue(params, layer);
            return compactText(signedText(value, 0), value, true);
        }
    }
}

void bypass(EditLayer layer, EditParams& params, NeutralWhiteBalance neutral) {
    switch (layer) {
        case EditLayer::spotRepair:
            params.spotRepairs.clear();
            return;
        case EditLayer::denoise:
            params.denoise = 0;
            return;
        case EditLayer::sharpening:
            params.sharpening.amount = 0;
            params.sharpening.preserveRAWTexture = false;
            return;
        case EditLayer::temperature:
            params.temperature = neutral.temperature;
            return;
        case EditLayer::tint:
            params.tint = neutral.tint;
            return;
        case EditLayer::exposure:
            params.exposure = 0;
            return;
        case EditLayer::toneCurve:
            params.toneCurve = ToneCurve::identity();
            return;
        case EditLayer::colorMixer:
            params.hsl = HSLAdjustments::neutral();
            return;
        default:
            sliderValue(params, layer) = 0;
            return;
    }
}

}  // namespace quillmere
