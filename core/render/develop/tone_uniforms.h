#pragma once

#include <cstddef>

namespace quillmere {

// The parameter records of the develop kernels, exactly as the kernels read them from their
// buffer slots: plain 32-bit floats, no padding, fields in binding order. The host fills them
// from an edit and binds them inline with each encoder; the static_asserts below pin the layout
// so both sides always agree. Defaults are the neutral develop.

// Buffer 0 of "tone_kernel_main" and "recovery_prepare": 15 floats, 60 bytes.
struct ToneUniforms {
    float wbGainR = 1;  // white-balance gains; green carries the tint
    float wbGainG = 1;
    float wbGainB = 1;
    float exposure = 0;    // EV
    float contrast = 0;    // -100...100, as are the next four
    float highlights = 0;  // non-finite already replaced by 0 and clamped by the host
    float shadows = 0;
    float whites = 0;
    float blacks = 0;
    float vibrance = 0;
    float saturation = 0;
    float curveActive = 0;    // 1: buffer 1 holds the curve table
    float hslActive = 0;      // 1: the band mixer runs
    float denoiseAmount = 0;  // 0...1 share of the clean texture; 0 when there is none
    float rawShoulder = 0;    // 1 for RAW photos: highlights roll off instead of clipping
};

inline constexpr std::size_t kMixerBandCount = 8;

// Buffer 2 of "tone_kernel_main": the band centres in degrees, then the per-band hue,
// saturation and luminance shifts (-100...100). 32 floats, 128 bytes.
struct HSLUniforms {
    float center[kMixerBandCount] = {0, 30, 60, 120, 180, 240, 285, 330};
    float hue[kMixerBandCount] = {};
    float sat[kMixerBandCount] = {};
    float lum[kMixerBandCount] = {};
};

// One point colour as the kernel reads it: 11 floats, each clamped by the host to the range
// noted. Unused slots of the point buffer hold zeros.
struct PointColorRecord {
    float hue = 0;              // degrees, 0...360
    float saturation = 0;       // 0...1
    float brightness = 0;       // 0...1
    float hueRange = 0;         // degrees, 1...180
    float saturationRange = 0;  // 0.01...1
    float luminanceRange = 0;   // 0.01...1
    float range = 0;            // 1...100; 50 keeps the windows as they are
    float hueShift = 0;         // -100...100, as are the last three
    float saturationShift = 0;
    float luminanceShift = 0;
    float variance = 0;
};

inline constexpr std::size_t kMaxPointColors = 8;

// Buffer 3 of "tone_kernel_main": 92 floats, 368 bytes. Float 0 is the point count, floats
// 1 + 11k ... 11 + 11k point k, zeros after the last point, then floats 89 to 91.
struct PointColorUniforms {
    float count = 0;  // at most kMaxPointColors; the kernel never reads beyond that
    PointColorRecord points[kMaxPointColors] = {};
    float visualizePointIndex = -1;  // -1: no point shown
    float blackAndWhite = 0;         // 1: grey output
    float visualizeBandIndex = -1;   // -1: no mixer band shown
};

// Buffer 1 of "tone_kernel_main": four 256-entry tables (rgb, red, green, blue), read only when
// curveActive says so.
inline constexpr std::size_t kCurveTableEntries = 256;
inline constexpr std::size_t kCurveTableSize = 4 * kCurveTableEntries;
inline constexpr int kCurveRGBBase = 0;
inline constexpr int kCurveRedBase = 256;
inline constexpr int kCurveGreenBase = 512;
inline constexpr int kCurveBlueBase = 768;

static_assert(sizeof(ToneUniforms) == 15 * sizeof(float));
static_assert(offsetof(ToneUniforms, exposure) == 3 * sizeof(float));
static_assert(offsetof(ToneUniforms, rawShoulder) == 14 * sizeof(float));
static_assert(sizeof(HSLUniforms) == 32 * sizeof(float));
static_assert(offsetof(HSLUniforms, lum) == 24 * sizeof(float));
static_assert(sizeof(PointColorRecord) == 11 * sizeof(float));
static_assert(sizeof(PointColorUniforms) == 92 * sizeof(float));
static_assert(offsetof(PointColorUniforms, points) == 1 * sizeof(float));
static_assert(offsetof(PointColorUniforms, visualizePointIndex) == 89 * sizeof(float));
static_assert(offsetof(PointColorUniforms, blackAndWhite) == 90 * sizeof(float));
static_assert(offsetof(PointColorUniforms, visualizeBandIndex) == 91 * sizeof(float));

}  // namespace quillmere
