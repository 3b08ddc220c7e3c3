#pragma once

#include <cstdint>
#include <vector>

#include "core/common/coding_path.h"
#include "core/common/json_coding.h"
#include "core/edit/denoise_method.h"
#include "core/edit/hsl_adjustments.h"
#include "core/edit/sharpening_settings.h"
#include "core/edit/spot_repair.h"
#include "core/edit/tone_curve.h"

namespace quillmere {

// The whole non-destructive edit of one photo. Pure data: assigning a field checks and clamps
// nothing, so any Double (out of range, non-finite) is kept; whoever needs a bounded value clamps
// it where it reads it. The ranges below are what the develop controls offer.
struct EditParams {
    double exposure = 0;  // EV stops, -5...5: linear light is multiplied by 2^exposure
    double contrast = 0;  // -100...100, as are highlights to blacks
    double highlights = 0;
    double shadows = 0;
    double whites = 0;
    double blacks = 0;
    double temperature = 5500;  // white balance in kelvin, 2000...50000
    double tint = 0;            // green–magenta shift, -150...150
    double vibrance = 0;        // -100...100
    double saturation = 0;      // -100...100
    double denoise = 0;         // 0...100, 0 is off; read it through denoiseFraction()
    DenoiseMethod denoiseMethod = DenoiseMethod::natural;
    SharpeningSettings sharpening = SharpeningSettings::neutral();
    ToneCurve toneCurve = ToneCurve::identity();
    HSLAdjustments hsl = HSLAdjustments::neutral();
    // What the preview visualises: a point colour's selection (index into hsl.points) or a mixer
    // band's range (0...7); -1 for none. Transient: never written to JSON, yet part of equality.
    std::int64_t visualizePointIndex = -1;
    std::int64_t visualizeBandIndex = -1;
    std::vector<SpotRepair> spotRepairs;  // in the order they were painted

    // The default edit at the white balance recorded when the photo was taken.
    static EditParams neutral(double asShotTemperature, double asShotTint);

    // The denoise amount as a blend fraction 0...1; 0 for a negative or non-finite amount.
    float denoiseFraction() const;

    // Field by field in declaration order, scalars before the lists, stopping at the first
    // difference. NaN equals nothing, so an edit holding one is unequal to its own copy.
    bool operator==(const EditParams&) const = default;

    // Sixteen keys, always all of them; the visualisation indices are never written. Throws
    // EncodingError for a non-finite number, which JSON cannot hold.
    json::Json encode(const CodingPath& path = {}) const;
    // What `encode` writes, with the keys in coding order instead of sorted.
    json::OrderedJson encodeOrdered(const CodingPath& path = {}) const;
    // Tolerant of missing keys (absent or null keeps the default), strict about present ones: any
    // value that does not decode fails the whole edit. Invalid spot repairs are dropped; nothing
    // else is clamped here.
    static EditParams decode(const json::Json& value, const CodingPath& path = {});
};

}  // namespace quillmere
