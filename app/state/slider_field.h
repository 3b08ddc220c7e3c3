#pragma once

#include <array>
#include <cstddef>
#include <stdexcept>
#include <string_view>

#include "app/state/edit_layer.h"
#include "core/edit/edit_params.h"

namespace quillmere {

// How a slider row writes its value beside the title. Halves round away from zero; no label ever
// reads "-0".
enum class ValueLabelFormat {
    wholeNumber,        // "5500"
    signedWholeNumber,  // "+12", "0", "-7"
    signedHundredths,   // "+0.50", "0.00", "-1.25"
    offOrWholeNumber,   // "Off" at or below 0, else a whole number: "36"
};

// One of the inspector's slider fields: everything the program says of it, looked up by the edit
// layer it belongs to. The row's title, the member of the edit it reads and writes, the slider's
// closed range and the value label.
struct SliderField {
    EditLayer editLayer;
    std::string_view title;
    double EditParams::*value;
    double lowerBound;
    double upperBound;
    ValueLabelFormat label;
};

// The one description of the sliders, in the inspector's order: a slider is one line here. The
// layers without a slider (spot repair, sharpening, the curve, the mixer) have no line.
inline constexpr std::array<SliderField, 11> sliderFields{{
    {EditLayer::temperature, "Temp", &EditParams::temperature, 2000, 50000,
     ValueLabelFormat::wholeNumber},
    {EditLayer::tint, "Tint", &EditParams::tint, -150, 150, ValueLabelFormat::signedWholeNumber},
    {EditLayer::exposure, "Exposure", &EditParams::exposure, -5, 5,
     ValueLabelFormat::signedHundredths},
    {EditLayer::contrast, "Contrast", &EditParams::contrast, -100, 100,
     ValueLabelFormat::signedWholeNumber},
    {EditLayer::highlights, "Highlights", &EditParams::highlights, -100, 100,
     ValueLabelFormat::signedWholeNumber},
    {EditLayer::shadows, "Shadows", &EditParams::shadows, -100, 100,
     ValueLabelFormat::signedWholeNumber},
    {EditLayer::whites, "Whites", &EditParams::whites, -100, 100,
     ValueLabelFormat::signedWholeNumber},
    {EditLayer::blacks, "Blacks", &EditParams::blacks, -100, 100,
     ValueLabelFormat::signedWholeNumber},
    {EditLayer::vibrance, "Vibrance", &EditParams::vibrance, -100, 100,
     ValueLabelFormat::signedWholeNumber},
    {EditLayer::saturation, "Saturation", &EditParams::saturation, -100, 100,
     ValueLabelFormat::signedWholeNumber},
    {EditLayer::denoise, "Amount", &EditParams::denoise, 0, 100,
     ValueLabelFormat::offOrWholeNumber},
}};

// The lines are looked up by layer, so no layer has two.
static_assert([] {
    for (std::size_t index = 0; index < sliderFields.size(); ++index) {
        for (std::size_t later = index + 1; later < sliderFields.size(); ++later) {
            if (sliderFields[index].editLayer == sliderFields[later].editLayer) return false;
        }
    }
    return true;
}());

// The slider of `layer`. Asking for a layer without one is a fault of the caller, refused with
// std::invalid_argument.
constexpr const SliderField& sliderField(EditLayer layer) {
    for (const SliderField& field : sliderFields) {
        if (field.editLayer == layer) return field;
    }
    throw std::invalid_argument("The edit layer has no slider.");
}

// The value of `layer`'s slider in an edit.
inline double& sliderValue(EditParams& params, EditLayer layer) {
    return params.*sliderField(layer).value;
}
inline double sliderValue(const EditParams& params, EditLayer layer) {
    return params.*sliderField(layer).value;
}

}  // namespace quillmere
