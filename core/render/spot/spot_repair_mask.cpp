#include "core/render/spot/spot_repair_mask.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <stdexcept>

#include "core/common/error.h"
#include "core/compute/msl_math.h"
#include "core/render/spot/spot_repair_geometry.h"

namespace quillmere {
namespace {

// ⌊value⌋ and ⌈value⌉ as signed 64-bit integers, saturated so that no float can overflow them.
std::int64_t floorToInt(float value) {
    return msl::saturatingConvert<std::int64_t>(std::floor(value));
}
std::int64_t ceilToInt(float value) {
    return msl::saturatingConvert<std::int64_t>(std::ceil(value));
}

void checkCancellation(const std::function<bool()>& shouldCancel) {
    if (shouldCancel()) throw CancellationError();
}

// Marks the pixels whose centres lie within `radius` of the segment a–b.
void markCapsule(std::vector<std::uint8_t>& covered, std::int64_t width, std::int64_t height,
                 msl::float2 a, msl::float2 b, float radius) {
    const std::int64_t left = std::max<std::int64_t>(floorToInt(std::fmin(a.x, b.x) - radius), 0);
    const std::int64_t bottom = std::max<std::int64_t>(floorToInt(std::fmin(a.y, b.y) - radius), 0);
    const std::int64_t right = std::min(ceilToInt(std::fmax(a.x, b.x) + radius), width);
    const std::int64_t top = std::min(ceilToInt(std::fmax(a.y, b.y) + radius), height);
    const msl::float2 d = b - a;
    const float lengthSquared = msl::dot(d, d);
    const float radiusSquared = radius * radius;
    for (std::int64_t py = bottom; py < top; ++py) {
        std::uint8_t* row = covered.data() + py * width;
        for (std::int64_t px = left; px < right; ++px) {
            const msl::float2 c{static_cast<float>(px) + 0.5f, static_cast<float>(py) + 0.5f};
            const float t = lengthSquared > 0
                                ? msl::clamp(msl::dot(c - a, d) / lengthSquared, 0.0f, 1.0f)
                                : 0.0f;
            const msl::float2 offset = c - (a + d * t);
            if (msl::dot(offset, offset) <= radiusSquared) row[px] = 1;
        }
    }
}

}  // namespace

SpotRepairMask::SpotRepairMask(const std::vector<SpotRepair>& repairs, std::int64_t width,
                               std::int64_t height, const std::function<bool()>& shouldCancel)
    : width(width), height(height) {
    if (width < 1 || height < 1 || width > std::numeric_limits<std::int32_t>::max() / height) {
        throw std::invalid_argument("A spot-repair mask needs a size from 1 × 1 to 2^31 pixels.");
    }
    std::vector<std::uint8_t> covered(static_cast<std::size_t>(width * height), 0);
    const float shortSide = static_cast<float>(std::min(width, height));
    for (const SpotRepair& repair : repairs) {
        const float radius = shortSide * static_cast<float>(repair.radius) + 1.0f;
        const std::vector<SpotRepair::Point> points = repair.points();
        msl::float2 previous = spotRepairPixelPosition(points[0].x, points[0].y, width, height);
        for (const SpotRepair::Point& point : points) {
            checkCancellation(shouldCancel);
            const msl::float2 current = spotRepairPixelPosition(point.x, point.y, width, height);
            markCapsule(covered, width, height, previous, current, radius);
            previous = current;
        }
    }

    const auto stride = static_cast<std::size_t>(width + 1);
    integral.assign(stride * static_cast<std::size_t>(height + 1), 0);
    for (std::int64_t y = 0; y < height; ++y) {
        checkCancellation(shouldCancel);
        const std::uint8_t* row = covered.data() + y * width;
        const std::int32_t* above = integral.data() + static_cast<std::size_t>(y) * stride;
        std::int32_t* current = integral.data() + static_cast<std::size_t>(y + 1) * stride;
        std::int32_t rowSum = 0;
        for (std::int64_t x = 0; x < width; ++x) {
            rowSum += row[x];
            current[x + 1] = above[x + 1] + rowSum;
        }
    }
}

bool SpotRepairMask::isClean(msl::float2 center, float radius) const {
    // A NaN would saturate to an empty square at the origin, which would count as clean.
    if (std::isnan(center.x) || std::isnan(center.y) || std::isnan(radius)) return false;
    const std::int64_t x0 = floorToInt(center.x - radius);
    const std::int64_t y0 = floorToInt(center.y - radius);
    const std::int64_t x1 = ceilToInt(center.x + radius);
    const std::int64_t y1 = ceilToInt(center.y + radius);
    if (x0 < 0 || y0 < 0 || x1 > width || y1 > height) return false;
    const auto entry = [this](std::int64_t x, std::int64_t y) -> std::int64_t {
        return integral[static_cast<std::size_t>(y * (width + 1) + x)];
    };
    return entry(x1, y1) - entry(x1, y0) - entry(x0, y1) + entry(x0, y0) == 0;
}

}  // namespace quillmere
