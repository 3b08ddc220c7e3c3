#include "app/kit/ui_timing.h"

#include <algorithm>
#include <cmath>

namespace quillmere {
namespace {

double timingScale = 1;

}  // namespace

double UiTiming::scale() { return timingScale; }

void UiTiming::setScale(double scale) { timingScale = scale; }

int UiTiming::milliseconds(double seconds) {
    // Bounded before the conversion: a day is longer than any delay of the panels.
    const double scaled = std::clamp(seconds * timingScale * 1000, 0.0, 86'400'000.0);
    return static_cast<int>(std::lround(scaled));
}

}  // namespace quillmere
