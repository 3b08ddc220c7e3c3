#include "app/workspace/preview_badge_text.h"

#include <fmt/format.h>

#include <cmath>

namespace quillmere {
namespace {

// A negative zero reads 0.
std::string percent(double value) { return fmt::format("{:.0f}%", std::round(value) + 0.0); }

}  // namespace

std::string PreviewBadgeText::zoom(double zoomPercent, bool showDenoiseOriginal) {
    std::string text = percent(zoomPercent);
    if (showDenoiseOriginal) text += " \u00b7 Before denoise";
    return text;
}

std::string PreviewBadgeText::processing(std::optional<double> progress) {
    if (!progress) return "Processing\u2026";
    return "Processing " + percent(*progress * 100);
}

}  // namespace quillmere
