#pragma once

#include <optional>
#include <string>

namespace quillmere {

// The texts of the preview's zoom badge. Percentages are rounded half away from zero and written
// without the locale.
namespace PreviewBadgeText {

// "35%", or "35% · Before denoise" while noise reduction is compared.
std::string zoom(double zoomPercent, bool showDenoiseOriginal);
// "Processing…" before the first progress report, then "Processing 35%".
std::string processing(std::optional<double> progress);

}  // namespace PreviewBadgeText

}  // namespace quillmere
