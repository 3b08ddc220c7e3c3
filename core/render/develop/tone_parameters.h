#pragma once

#include <array>

#include "core/compute/command_pass.h"
#include "core/edit/edit_params.h"
#include "core/render/develop/tone_uniforms.h"

namespace quillmere {

// How the tone pass turns an edit into the develop kernels' parameter records.

// What a tone pass is given besides the edit.
struct ToneInputs {
    std::array<float, 3> whiteBalanceGains{1, 1, 1};
    bool curveActive = false;  // the curve table is bound
    bool hasDenoisedInput = false;
    bool isRAW = false;
};

// Exposure, contrast, vibrance and saturation as they are; highlights, shadows, whites and blacks
// clamped to -100...100 (a non-finite value counts as 0); the denoise share 0...1 only when a
// denoised input is bound, else 0.
ToneUniforms makeToneUniforms(const EditParams& params, const ToneInputs& inputs);

// The band centres followed by the mixer's hue, saturation and luminance shifts, unclamped.
HSLUniforms makeHSLUniforms(const HSLAdjustments& hsl);

// The first eight point colours in stored order, each value clamped to its working range (a
// non-finite value takes the range's lower bound), then the visualised point, the black-and-white
// switch and the visualised band.
PointColorUniforms makePointColorUniforms(const EditParams& params);

// The recovery guide's size for an input of width × height: the input scaled so that its long
// side is at most 256 texels (never enlarged), each side rounded to the nearest integer (halves
// away from zero) and at least 1. 6000 × 4000 gives 256 × 171.
GridSize recoveryGuideSize(int width, int height);

}  // namespace quillmere
