#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string_view>

#include "core/edit/edit_params.h"
#include "core/edit/tone_curve.h"

namespace quillmere {

// Import of the develop settings that other RAW programs leave in a Camera Raw XMP sidecar beside
// the photo. Read only: the sidecar is never written.
namespace XMPSidecar {

// The scalar settings taken from a sidecar, in the order they are applied.
enum class Key {
    temperature,
    tint,
    exposure2012,
    contrast2012,
    highlights2012,
    shadows2012,
    whites2012,
    blacks2012,
    vibrance,
    saturation,
    sharpness,
    sharpenRadius,
    sharpenDetail,
    sharpenEdgeMasking,
};
inline constexpr std::array<Key, 14> allKeys{Key::temperature,    Key::tint,
                                             Key::exposure2012,   Key::contrast2012,
                                             Key::highlights2012, Key::shadows2012,
                                             Key::whites2012,     Key::blacks2012,
                                             Key::vibrance,       Key::saturation,
                                             Key::sharpness,      Key::sharpenRadius,
                                             Key::sharpenDetail,  Key::sharpenEdgeMasking};
// "Temperature", "Tint", "Exposure2012", ..., "SharpenEdgeMasking".
std::string_view localName(Key key);

// The tone-curve channels taken from a sidecar, in the order they are applied.
enum class CurveKey {
    toneCurvePV2012,
    toneCurvePV2012Red,
    toneCurvePV2012Green,
    toneCurvePV2012Blue
};
inline constexpr std::array<CurveKey, 4> allCurveKeys{
    CurveKey::toneCurvePV2012, CurveKey::toneCurvePV2012Red, CurveKey::toneCurvePV2012Green,
    CurveKey::toneCurvePV2012Blue};
// "ToneCurvePV2012", "ToneCurvePV2012Red", "ToneCurvePV2012Green", "ToneCurvePV2012Blue".
std::string_view localName(CurveKey key);

// The colour-mixer keys are one of these, for the hue, saturation and luminance lists, followed
// by a band's display name ("SaturationAdjustmentAqua").
inline constexpr std::array<std::string_view, 3> hslKeyPrefixes{
    "HueAdjustment", "SaturationAdjustment", "LuminanceAdjustment"};

// The base edit with the sidecar's settings laid over it, or nothing when the photo has no
// sidecar, it cannot be read, or it is not well-formed XML. The sidecar is the photo's path with
// its last extension replaced by "xmp" ("XMP" when only that exists). Never throws.
std::optional<EditParams> editParams(const std::filesystem::path& rawURL, const EditParams& base);

// A number written without the locale's help: white space and line breaks around it and one
// leading "+" are ignored, the rest must be a number in full. A non-finite result ("nan", "inf",
// or a value too large for a double) is not a number.
std::optional<double> parseNumber(std::string_view text);

// "x, y": exactly two numbers separated by a comma (empty pieces between commas are dropped),
// unclamped.
std::optional<CurvePoint> parseCurvePoint(std::string_view text);

}  // namespace XMPSidecar
}  // namespace quillmere
