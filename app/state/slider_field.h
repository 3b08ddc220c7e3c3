#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "app/state/edit_layer.h"
#include "core/edit/edit_params.h"

namespace quillmere {

// The inspector's slider fields, in order.
enum class SliderField {
    temperature,
    tint,
    exposure,
    contrast,
    highlights,
    shadows,
    whites,
    blacks,
    vibrance,
    saturation,
    denoise,
};

// How a slider row writes its value beside the title. Halves round away from zero; no label ever
// reads "-0".
enum class ValueLabelFormat {
    wholeNumber,        // "5500"
    signedWholeNumber,  // "+12", "0", "-7"
    signedHundredths,   // "+0.50", "0.00", "-1.25"
    offOrWholeNumber,   // "Off" at or below 0, else a whole number: "36"
};

// Everything the program says of one slider field: the layer it belongs to, the row's title, the
// member of the edit it reads and writes, the slider's closed range and the value label.
struct SliderFieldDefinition {
    SliderField field;
    EditLayer layer;
    std::string_view title;
    double EditParams::*value;
    double lowerBound;
    double upperBound;
    ValueLabelFormat label;
};

// The one description of the sliders, in field order: a slider is one line here.
inline constexpr std::array<SliderFieldDefinition, 11> sliderFieldDefinitions{{
    {SliderField::temperature, EditLayer::temperature, "Temp", &EditParams::temperature, 2000,
     50000, ValueLabelFormat::wholeNumber},
    {SliderField::tint, EditLayer::tint, "Tint", &EditParams::tint, -150, 150,
     ValueLabelFormat::signedWholeNumber},
    {SliderField::exposure, EditLayer::exposure, "Exposure", &EditParams::exposure, -5, 5,
     ValueLabelFormat::signedHundredths},
    {SliderField::contrast, EditLayer::contrast, "Contrast", &EditParams::contrast, -100, 100,
     ValueLabelFormat::signedWholeNumber},
    {SliderField::highlights, EditLayer::highlights, "Highlights", &EditParams::highlights, -100,
     100, ValueLabelFormat::signedWholeNumber},
    {SliderField::shadows, EditLayer::shadows, "Shadows", &EditParams::shadows, -100, 100,
     ValueLabelFormat::signedWholeNumber},
    {SliderField::whites, EditLayer::whites, "Whites", &EditParams::whites, -100, 100,
     ValueLabelFormat::signedWholeNumber},
    {SliderField::blacks, EditLayer::blacks, "Blacks", &EditParams::blacks, -100, 100,
     ValueLabelFormat::signedWholeNumber},
    {SliderField::vibrance, EditLayer::vibrance, "Vibrance", &EditParams::vibrance, -100, 100,
     ValueLabelFormat::signedWholeNumber},
    {SliderField::saturation, EditLayer::saturation, "Saturation", &EditParams::saturation, -100,
     100, ValueLabelFormat::signedWholeNumber},
    {SliderField::denoise, EditLayer::denoise, "Amount", &EditParams::denoise, 0, 100,
     ValueLabelFormat::offOrWholeNumber},
}};

constexpr const SliderFieldDefinition& definition(SliderField field) {
    return sliderFieldDefinitions[static_cast<std::size_t>(field)];
}

// The lines are looked up by field, so each must stand at its field's place.
static_assert([] {
    for (std::size_t index = 0; index < sliderFieldDefinitions.size(); ++index) {
        if (static_cast<std::size_t>(sliderFieldDefinitions[index].field) != index) return false;
    }
    return true;
}());

constexpr EditLayer editLayer(SliderField field) { return definition(field).layer; }

// The field's value in an edit.
inline double& sliderValue(EditParams& params, SliderField field) {
    return params.*definition(field).value;
}
inline double sliderValue(const EditParams& params, SliderField field) {
    return params.*definition(field).value;
}

}  // namespace quillmere
