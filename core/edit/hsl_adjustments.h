#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "core/common/coding_path.h"
#include "core/common/json_coding.h"
#include "core/common/uuid.h"

namespace quillmere {

// An adjustment aimed at one colour picked on the image: the window of colours it selects around
// the picked colour and the shifts it applies to them. Nothing is clamped or checked here; the
// tone pass clamps each field to its working range when it hands the point to the shader.
struct PointColor {
    // A fresh random id, the picked colour, and every window and shift at its default.
    PointColor(double hue, double saturation, double brightness);

    UUID id;
    double hue;                    // of the picked colour, degrees 0...360
    double saturation;             // of the picked colour, 0...1 (HSV)
    double brightness;             // HSV value of the picked colour, 0...1
    double hueRange = 30;          // degrees from the picked hue at which the selection ends
    double saturationRange = 0.5;  // in saturation units
    double luminanceRange = 0.5;   // in HSV value units
    double range = 50;             // overall size: 50 keeps the windows, other values scale them
    double hueShift = 0;
    double saturationShift = 0;
    double luminanceShift = 0;
    double variance = 0;  // widens (positive) or narrows (negative) the spread of selected hues

    // Shifts nothing: every shift and the variance exactly 0. The picked colour and the windows
    // play no part.
    bool isNeutral() const;

    bool operator==(const PointColor&) const = default;

    json::Json encode(const CodingPath& path = {}) const;
    // What `encode` writes, with the keys in coding order instead of sorted.
    json::OrderedJson encodeOrdered(const CodingPath& path = {}) const;
    // All twelve keys are required; values are taken as they are.
    static PointColor decode(const json::Json& value, const CodingPath& path = {});
};

// The colour mixer of an edit: hue, saturation and luminance shifts for eight bands, a
// black-and-white switch and up to eight point colours.
struct HSLAdjustments {
    // The eight mixer bands; the raw value indexes the band lists.
    enum class Band : std::int64_t { red, orange, yellow, green, aqua, blue, purple, magenta };

    static constexpr std::size_t bandCount = 8;
    // The render uses at most this many point colours, and decoding keeps no more.
    static constexpr std::size_t maximumPointCount = 8;

    using BandValues = std::array<double, bandCount>;

    // Neutral: no band shifts, colour, no points.
    HSLAdjustments() = default;
    // The given band lists, colour, no points. Values are taken as they are.
    HSLAdjustments(const BandValues& hue, const BandValues& saturation,
                   const BandValues& luminance);

    bool blackAndWhite = false;      // convert to grey after the mixer
    std::vector<PointColor> points;  // order matters: the edit's visualised point indexes it
    BandValues hue{};                // indexed by band; -100...100 once decoded
    BandValues saturation{};
    BandValues luminance{};

    // Eight zeros in each list, colour, no points; built once and shared.
    static const HSLAdjustments& neutral();

    // Colour, every band value exactly 0 (NaN is not) and every point colour neutral. The render
    // skips the mixer when this holds.
    bool isNeutral() const;

    // One band's value; written unchanged, without clamping.
    double& hueFor(Band band);
    double& saturationFor(Band band);
    double& luminanceFor(Band band);

    bool operator==(const HSLAdjustments&) const = default;

    json::Json encode(const CodingPath& path = {}) const;
    // What `encode` writes, with the keys in coding order instead of sorted.
    json::OrderedJson encodeOrdered(const CodingPath& path = {}) const;
    // "hue", "saturation" and "luminance" are required lists of eight finite numbers, each value
    // clamped to -100...100; "blackAndWhite" and "points" are optional, and only the first eight
    // points are kept.
    static HSLAdjustments decode(const json::Json& value, const CodingPath& path = {});
};

// The bands in raw-value order.
inline constexpr std::array<HSLAdjustments::Band, HSLAdjustments::bandCount> allBands{
    HSLAdjustments::Band::red,    HSLAdjustments::Band::orange, HSLAdjustments::Band::yellow,
    HSLAdjustments::Band::green,  HSLAdjustments::Band::aqua,   HSLAdjustments::Band::blue,
    HSLAdjustments::Band::purple, HSLAdjustments::Band::magenta};

// 0 for red up to 7 for magenta; also the JSON form.
std::int64_t rawValue(HSLAdjustments::Band band);
// Nothing outside 0...7.
std::optional<HSLAdjustments::Band> bandFromRawValue(std::int64_t rawValue);
// "Red", "Orange", ... as shown to the user.
std::string_view displayName(HSLAdjustments::Band band);
// The hue in degrees at which the band has full weight: 0, 30, 60, 120, 180, 240, 285, 330.
double centerDegrees(HSLAdjustments::Band band);

json::Json encodeBand(HSLAdjustments::Band band);
// An integer raw value; one outside 0...7 is data-corrupted.
HSLAdjustments::Band decodeBand(const json::Json& value, const CodingPath& path = {});

}  // namespace quillmere
