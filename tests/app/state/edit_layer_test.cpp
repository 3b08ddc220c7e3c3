#include "app/state/edit_layer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

namespace quillmere {
namespace {

// The photo of the layer examples: shot at 4300 K and tint +7.
constexpr NeutralWhiteBalance kAsShot{.temperature = 4300, .tint = 7};

SpotRepair repair() { return SpotRepair(UUID::random(), 0.5, 0.5, 0.02, {}); }

struct LayerCase {
    EditLayer layer;
    std::function<void(EditParams&)> change;
    bool active;
    std::string text;
};

TEST(EditLayer, ActivityAndValueTexts) {
    const LayerCase cases[] = {
        {EditLayer::temperature, [](auto& e) { e.temperature = 4300.4; }, false, "4300 K"},
        {EditLayer::temperature, [](auto& e) { e.temperature = 4300.5; }, true, "4301 K"},
        {EditLayer::tint, [](auto& e) { e.tint = 7.001; }, false, "+7"},
        {EditLayer::tint, [](auto& e) { e.tint = 7.01; }, true, "+7"},
        {EditLayer::exposure, [](auto& e) { e.exposure = 0.004; }, false, "+0.00"},
        {EditLayer::exposure, [](auto& e) { e.exposure = -0.004; }, false, "-0.00"},
        {EditLayer::exposure, [](auto& e) { e.exposure = 0.005; }, true, "+0.01"},
        {EditLayer::exposure, [](auto& e) { e.exposure = -0.4; }, true, "-0.40"},
        {EditLayer::exposure, [](auto& e) { e.exposure = -0.0; }, false, "0.00"},
        {EditLayer::contrast, [](auto& e) { e.contrast = 0.001; }, true, "0"},
        {EditLayer::contrast, [](auto& e) { e.contrast = 0.6; }, true, "+1"},
        {EditLayer::highlights, [](auto& e) { e.highlights = -2.5; }, true, "-3"},
        {EditLayer::shadows, [](auto& e) { e.shadows = 2.5; }, true, "+3"},
        {EditLayer::blacks, [](auto& e) { e.blacks = -0.4; }, true, "0"},
        {EditLayer::denoise, [](auto&) {}, false, "0 · Natural"},
        {EditLayer::denoise, [](auto& e) { e.denoise = -0.4; }, true, "0 · Natural"},
        {EditLayer::denoise,
         [](auto& e) {
             e.denoise = 40.5;
             e.denoiseMethod = DenoiseMethod::matchFilter;
         },
         true, "41 · Detail"},
        {EditLayer::sharpening,
         [](auto& e) { e.sharpening = {.amount = 0, .radius = 1, .preserveRAWTexture = true}; },
         true, "0 · 1.0 px · RAW"},
        {EditLayer::sharpening, [](auto& e) { e.sharpening = {.amount = 40.4, .radius = 1.26}; },
         true, "40 · 1.3 px"},
        // Judged and shown sanitised.
        {EditLayer::sharpening, [](auto& e) { e.sharpening = {.amount = 900, .radius = 500}; },
         true, "150 · 3.0 px"},
        {EditLayer::sharpening, [](auto& e) { e.sharpening.amount = -5; }, false, "0 · 1.0 px"},
        {EditLayer::spotRepair, [](auto&) {}, false, "0 strokes"},
        {EditLayer::spotRepair, [](auto& e) { e.spotRepairs = {repair()}; }, true, "1 stroke"},
        {EditLayer::spotRepair,
         [](auto& e) {
             e.spotRepairs = {repair(), repair()};
         },
         true, "2 strokes"},
        {EditLayer::toneCurve,
         [](auto& e) {
             e.toneCurve.green = {{0, 0}, {128, 150}};
         },
         true, "Custom"},
        {EditLayer::colorMixer, [](auto& e) { e.hsl.blackAndWhite = true; }, true,
         "0 values · 0 points"},
        {EditLayer::colorMixer,
         [](auto& e) {
             e.hsl.hue[0] = 0.005;
             e.hsl.saturation[3] = -0.004;
             e.hsl.luminance[7] = -10;
             e.hsl.points.emplace_back(120, 0.5, 0.5);
         },
         true, "2 values · 1 points"},
    };
    for (const LayerCase& layerCase : cases) {
        EditParams params = EditParams::neutral(kAsShot.temperature, kAsShot.tint);
        layerCase.change(params);
        SCOPED_TRACE(std::string(rawValue(layerCase.layer)) + " " + layerCase.text);
        EXPECT_EQ(isActive(layerCase.layer, params, kAsShot), layerCase.active);
        EXPECT_EQ(valueText(layerCase.layer, params), layerCase.text);
    }
}

TEST(EditLayer, BypassNeutralisesOnlyItsOwnSettings) {
    EditParams busy = EditParams::neutral(6000, -20);
    busy.contrast = 20;
    busy.denoise = 30;
    busy.denoiseMethod = DenoiseMethod::matchFilter;
    busy.sharpening = {
        .amount = 60, .radius = 2, .detail = 40, .masking = 30, .preserveRAWTexture = true};
    busy.toneCurve.rgb = {{0, 20}, {255, 255}};
    busy.hsl.hue[2] = 15;
    busy.spotRepairs = {repair()};
    for (EditLayer layer : allEditLayers) {
        EditParams bypassed = busy;
        bypass(layer, bypassed, kAsShot);
        for (EditLayer other : allEditLayers) {
            if (other == layer) continue;
            EXPECT_EQ(valueText(other, bypassed), valueText(other, busy))
                << rawValue(layer) << " " << rawValue(other);
        }
        EXPECT_FALSE(isActive(layer, bypassed, kAsShot)) << rawValue(layer);
    }
    // Bypass keeps what it does not switch off.
    bypass(EditLayer::sharpening, busy, kAsShot);
    bypass(EditLayer::denoise, busy, kAsShot);
    bypass(EditLayer::temperature, busy, kAsShot);
    EXPECT_EQ(busy.sharpening,
              (SharpeningSettings{.amount = 0, .radius = 2, .detail = 40, .masking = 30}));
    EXPECT_EQ(busy.denoiseMethod, DenoiseMethod::matchFilter);
    EXPECT_EQ(busy.temperature, 4300);
}

TEST(EditLayer, NamesAndSliderFields) {
    for (EditLayer layer : allEditLayers) EXPECT_EQ(editLayerFromRawValue(rawValue(layer)), layer);
    EXPECT_EQ(editLayerFromRawValue("Exposure"), std::nullopt);
    EXPECT_EQ(title(EditLayer::toneCurve), "Tone Curve");
    // Each field's value is the setting its layer judges.
    for (SliderField field : allSliderFields) {
        EditParams params = EditParams::neutral(kAsShot.temperature, kAsShot.tint);
        sliderValue(params, field) += 3;
        for (EditLayer layer : allEditLayers) {
            EXPECT_EQ(isActive(layer, params, kAsShot), layer == editLayer(field))
                << rawValue(layer);
        }
    }
}

}  // namespace
}  // namespace quillmere
