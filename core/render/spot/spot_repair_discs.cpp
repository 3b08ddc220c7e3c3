#include "core/render/spot/spot_repair_discs.h"

#include <algorithm>
#include <cmath>

namespace quillmere {
namespace {

// Disc spacing as a fraction of the radius: close enough that the discs' feathered rims overlap
// into one even stroke.
constexpr double kStepPerRadius = 0.4;
// The spacing's floor in pixels. Below it neighbouring discs would heal the same pixels again
// and again, and their count would grow without bound as the radius shrinks.
constexpr double kMinimumStepPixels = 0.4;

}  // namespace

void forEachSpotRepairDisc(const SpotRepair& repair, std::int64_t width, std::int64_t height,
                           const std::function<void(const SpotRepair& disc)>& visit) {
    if (!repair.isValid() || width < 1 || height < 1) return;
    const auto pixelsWide = static_cast<double>(width);
    const auto pixelsHigh = static_cast<double>(height);
    const double step = std::max(repair.radius * std::min(pixelsWide, pixelsHigh) * kStepPerRadius,
                                 kMinimumStepPixels);

    visit(SpotRepair(repair.id, repair.x, repair.y, repair.radius, {}));
    SpotRepair::Point previous{repair.x, repair.y};
    for (const SpotRepair::Point& point : repair.path) {
        const double dx = point.x - previous.x;
        const double dy = point.y - previous.y;
        // Valid points lie in the image, so the count is at most the image diagonal over the
        // floor step and converts to an integer safely.
        const auto count = static_cast<std::int64_t>(
            std::ceil(std::hypot(dx * pixelsWide, dy * pixelsHigh) / step));
        for (std::int64_t i = 1; i <= count; ++i) {
            const auto fraction = static_cast<double>(i);
            const auto total = static_cast<double>(count);
            visit(SpotRepair(repair.id, previous.x + dx * fraction / total,
                             previous.y + dy * fraction / total, repair.radius, {}));
        }
        previous = point;
    }
}

}  // namespace quillmere
