#include "reader/colour/matrix_shaper_tables.h"

#include <algorithm>
#include <cmath>

namespace quillmere {
namespace {

// How far the tables may miss LittleCMS's transform, scaled by one plus the sizes of the terms a
// value sums. Both work in single precision and sum the same terms in another
// order, which moves a value by a few units in the last place of a float of that size (1.2e-7 of
// it each); a profile that is not affine misses by orders of magnitude more.
constexpr double kTolerance = 2e-6;

// Whether LittleCMS converts the profile's pixels, used as input with the perceptual intent,
// through its matrix and curves: it prefers a lookup table (DToB0, then AToB0) where there is one,
// and a device link, an abstract or a named-colour profile has no matrix and curves to convert
// through.
bool convertsByMatrixAndCurves(cmsHPROFILE profile) {
    const cmsProfileClassSignature kind = cmsGetDeviceClass(profile);
    return kind != cmsSigLinkClass && kind != cmsSigAbstractClass &&
           kind != cmsSigNamedColorClass && cmsIsMatrixShaper(profile) &&
           !cmsIsTag(profile, cmsSigDToB0Tag) && !cmsIsTag(profile, cmsSigAToB0Tag);
}

// The profile's curve of each channel, null where it has none.
std::vector<const cmsToneCurve*> curvesOf(cmsHPROFILE profile, int channels) {
    if (channels == 1) {
        return {static_cast<const cmsToneCurve*>(cmsReadTag(profile, cmsSigGrayTRCTag))};
    }
    std::vector<const cmsToneCurve*> curves;
    for (const cmsTagSignature tag : {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag}) {
        curves.push_back(static_cast<const cmsToneCurve*>(cmsReadTag(profile, tag)));
    }
    return curves;
}

// What `transform` makes of `pixels` (`channels` floats each): three floats a pixel.
std::vector<float> transformed(cmsHTRANSFORM transform, const std::vector<float>& pixels,
                               int channels) {
    const std::size_t count = pixels.size() / static_cast<std::size_t>(channels);
    std::vector<float> rgb(count * 3);
    cmsDoTransform(transform, pixels.data(), rgb.data(), static_cast<cmsUInt32Number>(count));
    return rgb;
}

// Codes spread from 0 to maxCode: both ends, their neighbours, and sixteenths between.
std::vector<std::uint32_t> spreadOfCodes(std::uint32_t maxCode) {
    std::vector<std::uint32_t> codes{0, 1, maxCode - 1, maxCode};
    for (std::uint32_t sixteenth = 1; sixteenth < 16; ++sixteenth) {
        codes.push_back(maxCode * sixteenth / 16);
    }
    std::sort(codes.begin(), codes.end());
    codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
    return codes;
}

}  // namespace

MatrixShaperTables::MatrixShaperTables(int channels, std::uint32_t maxCode)
    : channels_(channels),
      maxCode_(maxCode),
      entries_(static_cast<std::size_t>(channels) * (maxCode + std::size_t{1})) {}

std::optional<MatrixShaperTables> MatrixShaperTables::build(cmsHPROFILE profile,
                                                            cmsHTRANSFORM transform, int channels,
                                                            std::uint32_t maxCode) {
    if ((channels != 1 && channels != 3) || maxCode < 1 || maxCode > 65535 ||
        !convertsByMatrixAndCurves(profile)) {
        return std::nullopt;
    }
    const std::vector<const cmsToneCurve*> curves = curvesOf(profile, channels);
    if (std::find(curves.begin(), curves.end(), nullptr) != curves.end()) return std::nullopt;
    const auto curveAt = [&](int channel, std::uint32_t code) -> double {
        return cmsEvalToneCurveFloat(curves[static_cast<std::size_t>(channel)],
                                     unitValue(code, maxCode));
    };

    // The affine map, read off the transform: black, then each channel alone at its full code.
    std::vector<float> probes(static_cast<std::size_t>((channels + 1) * channels), 0.0f);
    for (int channel = 0; channel < channels; ++channel) {
        probes[static_cast<std::size_t>((channel + 1) * channels + channel)] = 1.0f;
    }
    const std::vector<float> probed = transformed(transform, probes, channels);
    std::array<std::array<double, 3>, 3> columns{};
    std::array<double, 3> offset{};
    for (int component = 0; component < 3; ++component) offset[component] = probed[component];
    for (int channel = 0; channel < channels; ++channel) {
        const double rise = curveAt(channel, maxCode) - curveAt(channel, 0);
        if (!std::isfinite(rise) || rise == 0.0) return std::nullopt;
        for (int component = 0; component < 3; ++component) {
            columns[channel][component] =
                (probed[static_cast<std::size_t>((channel + 1) * 3 + component)] -
                 probed[component]) /
                rise;
            offset[component] -= columns[channel][component] * curveAt(channel, 0);
        }
    }

    MatrixShaperTables tables(channels, maxCode);
    for (int channel = 0; channel < channels; ++channel) {
        Entry* table = tables.entries_.data() + channel * (maxCode + std::size_t{1});
        for (std::uint32_t code = 0; code <= maxCode; ++code) {
            const double value = curveAt(channel, code);
            for (int component = 0; component < 3; ++component) {
                table[code][component] = static_cast<float>(
                    columns[channel][component] * value + (channel == 0 ? offset[component] : 0.0));
            }
            table[code][3] = channel == 0 ? 1.0f : 0.0f;
        }
    }

    // Every combination of the spread of codes, through both.
    const std::vector<std::uint32_t> spread = spreadOfCodes(maxCode);
    std::vector<std::uint16_t> codes;
    const auto add = [&](std::uint32_t code) { codes.push_back(static_cast<std::uint16_t>(code)); };
    for (const std::uint32_t first : spread) {
        if (channels == 1) {
            add(first);
            continue;
        }
        for (const std::uint32_t second : spread) {
            for (const std::uint32_t third : spread) {
                add(first);
                add(second);
                add(third);
            }
        }
    }
    std::vector<float> values(codes.size());
    std::transform(codes.begin(), codes.end(), values.begin(),
                   [&](std::uint16_t code) { return unitValue(code, maxCode); });
    const std::vector<float> expected = transformed(transform, values, channels);
    const std::size_t count = expected.size() / 3;
    std::vector<float> rgba(count * 4);
    const SampleRow<std::uint16_t> row{{codes.data(), codes.data() + (channels == 3 ? 1 : 0),
                                        codes.data() + (channels == 3 ? 2 : 0)},
                                       channels};
    tables.convert(row, rgba.data(), static_cast<std::uint32_t>(count));
    for (std::size_t pixel = 0; pixel < count; ++pixel) {
        for (std::size_t component = 0; component < 3; ++component) {
            double terms = 1.0;
            for (int channel = 0; channel < channels; ++channel) {
                const std::uint32_t code = row.at(channel, pixel);
                terms += std::fabs(
                    tables.entries_[channel * (maxCode + std::size_t{1}) + code][component]);
            }
            const double miss =
                std::fabs(rgba[pixel * 4 + component] - expected[pixel * 3 + component]);
            if (!(miss <= kTolerance * terms)) return std::nullopt;
        }
    }
    return tables;
}

template <class Sample>
void MatrixShaperTables::convertRow(const SampleRow<Sample>& row, float* linearRgba,
                                    std::uint32_t pixelCount) const {
    const auto entry = [&](int channel, std::size_t x) -> const Entry& {
        const std::uint32_t code = std::min<std::uint32_t>(row.at(channel, x), maxCode_);
        return entries_[static_cast<std::size_t>(channel) * (maxCode_ + std::size_t{1}) + code];
    };
    if (channels_ == 1) {
        for (std::size_t x = 0; x < pixelCount; ++x, linearRgba += 4) {
            const Entry& grey = entry(0, x);
            std::copy(grey.begin(), grey.end(), linearRgba);
        }
        return;
    }
    for (std::size_t x = 0; x < pixelCount; ++x, linearRgba += 4) {
        const Entry& red = entry(0, x);
        const Entry& green = entry(1, x);
        const Entry& blue = entry(2, x);
        // Summed before stored, so that the four sums are one vector addition.
        Entry pixel;
        for (std::size_t component = 0; component < 4; ++component) {
            pixel[component] = red[component] + green[component] + blue[component];
        }
        std::copy(pixel.begin(), pixel.end(), linearRgba);
    }
}

void MatrixShaperTables::convert(const SampleRow<std::uint8_t>& row, float* linearRgba,
                                 std::uint32_t pixelCount) const {
    convertRow(row, linearRgba, pixelCount);
}

void MatrixShaperTables::convert(const SampleRow<std::uint16_t>& row, float* linearRgba,
                                 std::uint32_t pixelCount) const {
    convertRow(row, linearRgba, pixelCount);
}

}  // namespace quillmere
