#pragma once

#include <cmath>
#include <cstddef>

#include "core/edit/edit_params.h"

// The edits the develop benchmarks time.
namespace quillmere::bench {

// What a user typically sets on a RAW photo: white balance, exposure, contrast, highlights down,
// shadows up, vibrance and the classic sharpening.
inline EditParams typicalEdit(double asShotTemperature, double asShotTint) {
    EditParams params = EditParams::neutral(asShotTemperature, asShotTint);
    params.temperature = asShotTemperature + 400;
    params.exposure = 0.4;
    params.contrast = 15;
    params.highlights = -45;
    params.shadows = 30;
    params.vibrance = 15;
    params.sharpening = SharpeningSettings::classic();
    return params;
}

// Every control away from neutral: the recovery passes, the curve, the mixer, four point
// colours, black and white off, vibrance and saturation, denoise blend and sharpening.
inline EditParams everyControl(double asShotTemperature, double asShotTint) {
    EditParams params = typicalEdit(asShotTemperature, asShotTint);
    params.tint = asShotTint + 8;
    params.whites = 20;
    params.blacks = -15;
    params.saturation = 10;
    params.denoise = 50;
    params.toneCurve.rgb = {{0, 0}, {64, 56}, {192, 200}, {255, 255}};
    params.toneCurve.blue = {{0, 8}, {255, 250}};
    for (std::size_t band = 0; band < HSLAdjustments::bandCount; ++band) {
        params.hsl.hue[band] = 10.0 * static_cast<double>(band) - 35;
        params.hsl.saturation[band] = 20 - 5.0 * static_cast<double>(band);
        params.hsl.luminance[band] = 15 * std::sin(static_cast<double>(band));
    }
    for (int k = 0; k < 4; ++k) {
        PointColor point(90.0 * k + 20, 0.5, 0.6);
        point.hueShift = 40;
        point.saturationShift = -20;
        point.luminanceShift = 15;
        point.variance = 25;
        params.hsl.points.push_back(point);
    }
    params.sharpening = {.amount = 60, .radius = 1.5, .detail = 40, .masking = 20};
    return params;
}

}  // namespace quillmere::bench
