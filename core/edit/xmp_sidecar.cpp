#include "core/edit/xmp_sidecar.h"

#include <locale.h>
#include <stdlib.h>

#include <cmath>
#include <string>
#include <system_error>
#include <vector>

#include "core/common/file_io.h"
#include "core/edit/hsl_adjustments.h"
#include "core/edit/unicode_text.h"
#include "core/edit/xml_parser.h"
#include "core/edit/xmp_sidecar_delegate.h"

namespace quillmere::XMPSidecar {
namespace {

// Camera Raw sidecars are a few kilobytes of settings; a far larger file is not one, and is not
// read into memory.
constexpr std::uintmax_t kMaximumSidecarBytes = std::uintmax_t{64} << 20;

// The "C" locale, so a decimal point is a point whatever the user's language.
locale_t numericLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t{});
    return locale;
}

double& field(EditParams& edit, Key key) {
    switch (key) {
        case Key::temperature:
            return edit.temperature;
        case Key::tint:
            return edit.tint;
        case Key::exposure2012:
            return edit.exposure;
        case Key::contrast2012:
            return edit.contrast;
        case Key::highlights2012:
            return edit.highlights;
        case Key::shadows2012:
            return edit.shadows;
        case Key::whites2012:
            return edit.whites;
        case Key::blacks2012:
            return edit.blacks;
        case Key::vibrance:
            return edit.vibrance;
        case Key::saturation:
            return edit.saturation;
        case Key::sharpness:
            return edit.sharpening.amount;
        case Key::sharpenRadius:
            return edit.sharpening.radius;
        case Key::sharpenDetail:
            return edit.sharpening.detail;
        case Key::sharpenEdgeMasking:
            return edit.sharpening.masking;
    }
    return edit.exposure;  // unreachable: every key is handled above
}

std::vector<CurvePoint>& channel(EditParams& edit, CurveKey key) {
    switch (key) {
        case CurveKey::toneCurvePV2012:
            return edit.toneCurve.rgb;
        case CurveKey::toneCurvePV2012Red:
            return edit.toneCurve.red;
        case CurveKey::toneCurvePV2012Green:
            return edit.toneCurve.green;
        case CurveKey::toneCurvePV2012Blue:
            return edit.toneCurve.blue;
    }
    return edit.toneCurve.rgb;  // unreachable: every key is handled above
}

std::optional<double> numberFor(const Delegate::TextByKey& values, std::string_view key) {
    const auto found = values.find(key);
    return found == values.end() ? std::nullopt : parseNumber(found->second);
}

// The colour-mixer keys: a list's prefix followed by a band's display name. Bands in raw-value
// order, and within each band hue, saturation, luminance.
void applyHSL(const Delegate::TextByKey& values, EditParams& edit) {
    for (const auto band : allBands) {
        const std::array<double*, 3> lists{&edit.hsl.hueFor(band), &edit.hsl.saturationFor(band),
                                           &edit.hsl.luminanceFor(band)};
        for (std::size_t list = 0; list < lists.size(); ++list) {
            const std::string key =
                std::string(hslKeyPrefixes[list]) + std::string(displayName(band));
            if (const auto value = numberFor(values, key)) *lists[list] = *value;
        }
    }
}

EditParams overlay(const Delegate& sidecar, const EditParams& base) {
    EditParams edit = base;
    for (const Key key : allKeys) {
        if (const auto value = numberFor(sidecar.values(), localName(key))) {
            field(edit, key) = *value;
        }
    }
    for (const CurveKey key : allCurveKeys) {
        if (const auto found = sidecar.curves().find(localName(key));
            found != sidecar.curves().end()) {
            channel(edit, key) = found->second;
        }
    }
    applyHSL(sidecar.values(), edit);
    edit.sharpening = edit.sharpening.sanitized();
    return edit;
}

bool fileExists(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

// File names are case-sensitive here, and other programs write either case of the extension.
std::optional<std::filesystem::path> sidecarPath(const std::filesystem::path& rawURL) {
    for (const char* extension : {"xmp", "XMP"}) {
        auto candidate = rawURL;
        candidate.replace_extension(extension);
        if (fileExists(candidate)) return candidate;
    }
    return std::nullopt;
}

}  // namespace

std::string_view localName(Key key) {
    switch (key) {
        case Key::temperature:
            return "Temperature";
        case Key::tint:
            return "Tint";
        case Key::exposure2012:
            return "Exposure2012";
        case Key::contrast2012:
            return "Contrast2012";
        case Key::highlights2012:
            return "Highlights2012";
        case Key::shadows2012:
            return "Shadows2012";
        case Key::whites2012:
            return "Whites2012";
        case Key::blacks2012:
            return "Blacks2012";
        case Key::vibrance:
            return "Vibrance";
        case Key::saturation:
            return "Saturation";
        case Key::sharpness:
            return "Sharpness";
        case Key::sharpenRadius:
            return "SharpenRadius";
        case Key::sharpenDetail:
            return "SharpenDetail";
        case Key::sharpenEdgeMasking:
            return "SharpenEdgeMasking";
    }
    return {};
}

std::string_view localName(CurveKey key) {
    switch (key) {
        case CurveKey::toneCurvePV2012:
            return "ToneCurvePV2012";
        case CurveKey::toneCurvePV2012Red:
            return "ToneCurvePV2012Red";
        case CurveKey::toneCurvePV2012Green:
            return "ToneCurvePV2012Green";
        case CurveKey::toneCurvePV2012Blue:
            return "ToneCurvePV2012Blue";
    }
    return {};
}

std::optional<EditParams> editParams(const std::filesystem::path& rawURL, const EditParams& base) {
    try {
        const auto path = sidecarPath(rawURL);
        if (!path) return std::nullopt;
        const auto document = file_io::readFile(*path, kMaximumSidecarBytes);
        if (!document) return std::nullopt;
        Delegate delegate;
        if (!XMLParser::parse(*document, delegate)) return std::nullopt;
        return overlay(delegate, base);
    } catch (const std::exception&) {
        // Only allocation can fail here; a sidecar is optional, so the photo opens without it.
        return std::nullopt;
    }
}

std::optional<double> parseNumber(std::string_view text) {
    std::string_view trimmed = trimmingWhitespaceAndNewlines(text);
    if (trimmed.starts_with('+')) trimmed.remove_prefix(1);
    // strtod would skip leading white space and accept an empty remainder; neither is a number.
    if (trimmed.empty() || trimmed.front() == ' ' ||
        (trimmed.front() >= '\t' && trimmed.front() <= '\r')) {
        return std::nullopt;
    }
    const std::string terminated(trimmed);
    char* end = nullptr;
    const double value = strtod_l(terminated.c_str(), &end, numericLocale());
    if (end != terminated.c_str() + terminated.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<CurvePoint> parseCurvePoint(std::string_view text) {
    std::vector<std::string_view> pieces;
    for (std::size_t start = 0; start <= text.size();) {
        const auto comma = std::min(text.find(',', start), text.size());
        if (comma > start) pieces.push_back(text.substr(start, comma - start));
        if (pieces.size() > 2) return std::nullopt;
        start = comma + 1;
    }
    if (pieces.size() != 2) return std::nullopt;
    const auto x = parseNumber(pieces[0]);
    const auto y = parseNumber(pieces[1]);
    if (!x || !y) return std::nullopt;
    return CurvePoint{*x, *y};
}

}  // namespace quillmere::XMPSidecar
