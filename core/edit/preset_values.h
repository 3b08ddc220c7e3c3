#pragma once

#include <optional>

#include "core/common/coding_path.h"
#include "core/common/json_coding.h"
#include "core/edit/denoise_method.h"
#include "core/edit/edit_params.h"
#include "core/edit/hsl_adjustments.h"
#include "core/edit/sharpening_settings.h"
#include "core/edit/tone_curve.h"

namespace quillmere {

// Which groups of an edit go into a new preset.
struct PresetCaptureOptions {
    bool tone = false;          // exposure, contrast, highlights, shadows, whites, blacks
    bool whiteBalance = false;  // temperature and tint, as absolute values
    bool presence = false;      // vibrance, saturation
    bool toneCurve = false;     // unless it is the identity
    bool colorMixer = false;    // unless it is neutral and holds no point colours
    bool denoise = false;       // amount and method
    bool sharpening = false;

    // At least one group is chosen.
    bool hasSelection() const;

    bool operator==(const PresetCaptureOptions&) const = default;
};

// A partial edit: any subset of an edit's develop settings. A set field replaces the edit's
// setting when applied, an absent one leaves it alone. It is the content of every preset and
// what carries a change of one photo's edit over to the other selected photos.
//
// White balance travels either absolutely (`temperature`, `tint`) or relative to the photo
// (`temperatureScale` multiplies its temperature, `tintShift` is added to its tint); the absolute
// form wins when both are set. Spot repairs and the visualisation indices are never carried.
struct PresetValues {
    std::optional<double> exposure{};
    std::optional<double> contrast{};
    std::optional<double> highlights{};
    std::optional<double> shadows{};
    std::optional<double> whites{};
    std::optional<double> blacks{};
    std::optional<double> temperature{};  // kelvin
    std::optional<double> tint{};
    std::optional<double> temperatureScale{};  // a factor on the photo's temperature
    std::optional<double> tintShift{};         // added to the photo's tint
    std::optional<double> vibrance{};
    std::optional<double> saturation{};
    std::optional<double> denoise{};
    std::optional<DenoiseMethod> denoiseMethod{};
    std::optional<SharpeningSettings> sharpening{};  // sanitised when applied
    std::optional<ToneCurve> toneCurve{};            // replaces all four channels
    std::optional<HSLAdjustments> hsl{};  // replaces the whole mixer, points and switch included

    // The chosen groups of `edit`. An identity curve, and a neutral mixer without point colours,
    // stay absent even when chosen. The relative white balance is never captured.
    static PresetValues capturing(const EditParams& edit, const PresetCaptureOptions& options);
    // Every group, with the white balance only when `includeWhiteBalance`.
    static PresetValues capturing(const EditParams& edit, bool includeWhiteBalance);

    // The settings that differ between `from` and `to`, each set to its `to` value: numbers by
    // exact comparison (white balance absolute), sharpening, curve and mixer compared whole. Spot
    // repairs and the visualisation indices give nothing; the relative white balance stays absent.
    static PresetValues changes(const EditParams& from, const EditParams& to);
    // Every setting an edit can hand to another photo, identity curve and neutral mixer included,
    // the white balance absolute.
    static PresetValues allReusable(const EditParams& edit);
    // This partial edit with every field `newer` sets taking `newer`'s value. The relative white
    // balance stays this one's: merging never moves it.
    PresetValues overlaying(const PresetValues& newer) const;
    // Every field absent.
    bool isEmpty() const { return *this == PresetValues{}; }

    // Absent fields compare equal; set ones with their own type's equality (NaN equals nothing).
    bool operator==(const PresetValues&) const = default;

    // One key per set field, named after it; absent fields write nothing. Throws EncodingError
    // for a non-finite number.
    json::Json encode(const CodingPath& path = {}) const;
    // A missing or null key leaves the field absent; a present key must decode, or the whole
    // partial edit fails. Unknown keys are ignored.
    static PresetValues decode(const json::Json& value, const CodingPath& path = {});
};

// `edit` with every set field of `values` applied. Values are taken unclamped, except the result
// of the relative white balance, which stays within 2000...50000 K and a tint of -150...150 (a NaN
// stays NaN).
EditParams applying(const EditParams& edit, const PresetValues& values);

}  // namespace quillmere
