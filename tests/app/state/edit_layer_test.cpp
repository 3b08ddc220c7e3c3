#include "app/state/edit_layer.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "app/state/slider_field.h"

namespace quillmere {
namespace {

// The photo of the layer examples: shot at 4300 K and tint +7.
constexpr NeutralWhiteBalance kAsShot{.temperature = 4300, .tint = 7};

using Change = std::function<void(EditParams&)>;
Change set(double EditParams::*field, double value) {
    return [=](EditParams& edit) { edit.*field = value; };
}

TEST(EditLayer, ActivityAndValueTexts) {
    const struct {
        EditLayer layer;
        Change change;
        bool active;
        const char* text;
    } cases[] = {
        {EditLayer::temperature, set(&EditParams::temperature, 4300.4), false, "4300 K"},
        {EditLayer::temperature, set(&EditParams::temperature, 4300.5), true, "4301 K"},
        {EditLayer::tint, set(&EditParams::tint, 7.001), false, "+7"},
        {EditLayer::tint, set(&EditParams::tint, 7.01), true, "+7"},
        {EditLayer::exposure, set(&EditParams::exposure, 0.004), false, "+0.00"},
        {EditLayer::exposure, set(&EditParams::exposure, -0.004), false, "-0.00"},
        {EditLayer::exposure, set(&EditParams::exposure, -0.0), false, "0.00"},
        {EditLayer::exposure, set(&EditParams::exposure, 0.005), true, "+0.01"},
        {EditLayer::contrast, set(&EditParams::contrast, 0.001), true, "0"},
        {EditLayer::contrast, set(&EditParams::contrast, 0.6), true, "+1"},
        {EditLayer::highlights, set(&EditParams::highlights, -2.5), true, "-3"},
        // A value far outside its slider's range is written short, as its value label is.
        {EditLayer::exposure, set(&EditParams::exposure, 1e300), true, "+1e+300"},
        {EditLayer::temperature, set(&EditParams::temperature, 1.23456e300), true, "1.23e+300 K"},
        {EditLayer::blacks, set(&EditParams::blacks, -2e20), true, "-2e+20"},
        {EditLayer::blacks, set(&EditParams::blacks, -999999999), true, "-999999999"},
        {EditLayer::denoise, set(&EditParams::denoise, -0.4), true, "0 · Natural"},
        {EditLayer::denoise, set(&EditParams::denoise, 40.5), true, "41 · Natural"},
        {EditLayer::sharpening, [](EditParams& e) { e.sharpening.preserveRAWTexture = true; },
         true, "0 · 1.0 px · RAW"},
        {EditLayer::sharpening, [](EditParams& e) { e.sharpening = {900, 1.26}; }, true,
         "150 · 1.3 px"},
        {EditLayer::sharpening, [](EditParams& e) { e.sharpening.amount = -5; }, false,
         "0 · 1.0 px"},
        {EditLayer::spotRepair, [](EditParams&) {}, false, "0 strokes"},
        {EditLayer::spotRepair,
         [](EditParams& e) { e.spotRepairs.push_back({UUID::random(), 0.5, 0.5, 0.01, {}}); }, true,
         "1 stroke"},
        {EditLayer::toneCurve, [](EditParams& e) { e.toneCurve.blue = {{0, 9}, {255, 255}}; },
         true, "Custom"},
        {EditLayer::colorMixer, [](EditParams& e) { e.hsl.blackAndWhite = true; }, true,
         "0 values · 0 points"},
        {EditLayer::colorMixer,
         [](EditParams& e) {
             e.hsl.hue[0] = 0.005;
             e.hsl.saturation[3] = -0.004;
             e.hsl.luminance[7] = -10;
             e.hsl.points.emplace_back(120, 0.5, 0.5);
         },
         true, "2 values · 1 points"},
    };
    for (const auto& example : cases) {
        EditParams params = EditParams::neutral(kAsShot.temperature, kAsShot.tint);
        example.change(params);
        EXPECT_EQ(isActive(example.layer, params, kAsShot), example.active) << example.text;
        EXPECT_EQ(valueText(example.layer, params), example.text);
    }
}

TEST(EditLayer, BypassNeutralisesOnlyItsOwnSettingsAndEachSliderHasItsLayer) {
    EditParams busy = EditParams::neutral(6000, -20);
    busy.denoise = 30;
    busy.denoiseMethod = DenoiseMethod::matchFilter;
    busy.sharpening = {.amount = 60, .radius = 2, .detail = 40, .preserveRAWTexture = true};
    busy.hsl.hue[2] = 15;
    for (const SliderField& slider : sliderFields) {
        sliderValue(busy, slider.editLayer) += 3;
    }
    for (EditLayer layer : allEditLayers) {
        EditParams bypassed = busy;
        bypass(layer, bypassed, kAsShot);
        EXPECT_FALSE(isActive(layer, bypassed, kAsShot)) << rawValue(layer);
        for (EditLayer other : allEditLayers) {
            if (other == layer) continue;
            EXPECT_EQ(valueText(other, bypassed), valueText(other, busy));
        }
    }
    bypass(EditLayer::sharpening, busy, kAsShot);
    bypass(EditLayer::denoise, busy, kAsShot);
    EXPECT_EQ(busy.sharpening, (SharpeningSettings{.radius = 2, .detail = 40}));
    EXPECT_EQ(busy.denoiseMethod, DenoiseMethod::matchFilter);

    for (const SliderField& slider : sliderFields) {
        EditParams params = EditParams::neutral(kAsShot.temperature, kAsShot.tint);
        sliderValue(params, slider.editLayer) += 3;
        for (EditLayer layer : allEditLayers) {
            EXPECT_EQ(isActive(layer, params, kAsShot), layer == slider.editLayer);
        }
    }
    EXPECT_EQ(editLayerFromRawValue("toneCurve"), EditLayer::toneCurve);
    EXPECT_EQ(editLayerFromRawValue("Tone Curve"), std::nullopt);
}

// The inspector's eleven slider fields, each found by its layer; a layer without a slider is
// refused rather than read through a member it does not have.
TEST(SliderTable, HoldsTheElevenSliderLayersInOrderEachFoundByItsLayer) {
    const std::vector<std::string_view> sliderLayers{
        "temperature", "tint",   "exposure", "contrast",   "highlights", "shadows",
        "whites",      "blacks", "vibrance", "saturation", "denoise"};
    std::vector<std::string_view> tableLayers;
    for (const SliderField& line : sliderFields) {
        tableLayers.push_back(rawValue(line.editLayer));
        EXPECT_EQ(&sliderField(line.editLayer), &line) << rawValue(line.editLayer);
    }
    EXPECT_EQ(tableLayers, sliderLayers);
    for (EditLayer layer : {EditLayer::spotRepair, EditLayer::sharpening, EditLayer::toneCurve,
                            EditLayer::colorMixer}) {
        EXPECT_THROW(sliderField(layer), std::invalid_argument) << rawValue(layer);
    }
}

}  // namespace
}  // namespace quillmere
