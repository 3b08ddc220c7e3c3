#include "core/render/spot/spot_source_search.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <limits>
#include <vector>

#include "core/compute/half_float.h"
#include "core/compute/msl_math.h"
#include "core/render/spot/spot_repair_geometry.h"

namespace quillmere {
namespace {

constexpr float kPi = 3.1415925f;
constexpr int kBoundaryDirections = 24;
// Distances at which a boundary direction is tried, in radii (plus one pixel): the nearest clean
// point stands for the disc's surroundings in that direction.
constexpr std::array<float, 8> kBoundaryFactors{1.12f, 1.6f, 2.3f, 3.2f, 4.5f, 6.4f, 9.0f, 12.8f};
constexpr int kCandidateAngles = 32;
// Ring radii of the candidate source centres, in radii, nearest first.
constexpr std::array<float, 6> kRingFactors{2.6f, 3.8f, 5.2f, 6.6f, 9.0f, 12.8f};
// Half the side of the square tested around a boundary point.
constexpr float kPointRadius = 0.5f;
constexpr std::size_t kMinimumBoundary = 3;

msl::float2 direction(float angle) { return {std::cos(angle), std::sin(angle)}; }

float squaredLength(msl::float3 v) { return msl::dot(v, v); }

// Nearest-texel reads of the reference with values compressed to 0...1 as v / (1 + v), so that
// highlights far above white do not outweigh every other difference.
class CompressedSampler {
  public:
    CompressedSampler(std::span<const std::uint16_t> pixels, std::int64_t width,
                      std::int64_t height)
        : pixels_(pixels), width_(width), height_(height) {}

    msl::float3 operator()(msl::float2 p) const {
        const auto x = msl::saturatingConvert<std::int64_t>(
            msl::clamp(std::trunc(p.x), 0.0f, static_cast<float>(width_ - 1)));
        const auto y = msl::saturatingConvert<std::int64_t>(
            msl::clamp(std::trunc(p.y), 0.0f, static_cast<float>(height_ - 1)));
        const std::uint16_t* texel = pixels_.data() + (y * width_ + x) * 4;
        return {compress(halfToFloat(texel[0])), compress(halfToFloat(texel[1])),
                compress(halfToFloat(texel[2]))};
    }

  private:
    // An infinite highlight compresses to 1, its limit, rather than to ∞ / ∞ = NaN, which would
    // make every candidate that sees it unscorable.
    static float compress(float v) {
        const float positive = msl::max(v, 0.0f);
        return std::isinf(positive) ? 1.0f : positive / (1.0f + positive);
    }

    std::span<const std::uint16_t> pixels_;
    std::int64_t width_;
    std::int64_t height_;
};

// Offsets from the disc's centre to the nearest clean point in each boundary direction.
std::vector<msl::float2> boundaryOffsets(const SpotRepairMask& mask, msl::float2 center,
                                         float radius) {
    std::vector<msl::float2> offsets;
    for (int k = 0; k < kBoundaryDirections; ++k) {
        const msl::float2 unit =
            direction(2.0f * kPi * static_cast<float>(k) / static_cast<float>(kBoundaryDirections));
        for (const float factor : kBoundaryFactors) {
            const msl::float2 offset = unit * (radius * factor + 1.0f);
            if (mask.isClean(center + offset, kPointRadius)) {
                offsets.push_back(offset);
                break;
            }
        }
    }
    return offsets;
}

// How badly a source centred on `s` would fit the disc centred on `center`, seen through the
// boundary offsets clean around both; lower is better. It adds the difference in structure
// along the boundary, the difference in mean colour, and how far the source's inside strays
// from its own boundary (a flat source is safer than a busy one). The ring term only breaks
// ties, in favour of nearer sources.
float sourceScore(const CompressedSampler& sample, msl::float2 center, msl::float2 s, float radius,
                  float ring, const std::vector<msl::float2>& offsets) {
    std::array<msl::float3, kBoundaryDirections> target;
    std::array<msl::float3, kBoundaryDirections> source;
    msl::float3 targetMean{};
    msl::float3 sourceMean{};
    for (std::size_t i = 0; i < offsets.size(); ++i) {
        target[i] = sample(center + offsets[i]);
        source[i] = sample(s + offsets[i]);
        targetMean += target[i];
        sourceMean += source[i];
    }
    const auto count = static_cast<float>(offsets.size());
    targetMean /= count;
    sourceMean /= count;

    float mismatch = 0;
    for (std::size_t i = 0; i < offsets.size(); ++i) {
        mismatch += squaredLength((source[i] - sourceMean) - (target[i] - targetMean));
    }
    mismatch /= count;
    const float colour = squaredLength(sourceMean - targetMean);
    const float probe = 0.4f * radius;
    float probes = 0;
    for (const msl::float2 p : {s, s + msl::float2{probe, 0}, s - msl::float2{probe, 0},
                                s + msl::float2{0, probe}, s - msl::float2{0, probe}}) {
        probes += squaredLength(sample(p) - sourceMean);
    }
    return ring * 1e-6f + mismatch + 0.12f * colour + 0.015f * probes;
}

struct Candidate {
    msl::float2 center;
    std::vector<msl::float2> offsets;  // the boundary offsets that are clean around it too
};

}  // namespace

std::optional<SpotRepairKernel::Placement> findSpotRepairSource(
    const SpotRepair& disc, const SpotRepairMask& mask, std::span<const std::uint16_t> pixels) {
    const auto width = static_cast<float>(mask.width);
    const auto height = static_cast<float>(mask.height);
    const msl::float2 center = spotRepairPixelPosition(disc.x, disc.y, mask.width, mask.height);
    const float radius = msl::max(
        static_cast<float>(std::min(mask.width, mask.height)) * static_cast<float>(disc.radius),
        1.0f);

    const std::vector<msl::float2> offsets = boundaryOffsets(mask, center, radius);
    if (offsets.size() < kMinimumBoundary) return std::nullopt;
    const std::size_t required =
        offsets.size() < 2 * kMinimumBoundary ? kMinimumBoundary : offsets.size() / 2;

    const CompressedSampler sample(pixels, mask.width, mask.height);
    std::optional<Candidate> best;
    float bestScore = std::numeric_limits<float>::infinity();
    std::vector<msl::float2> clean;
    for (const float ring : kRingFactors) {
        for (int j = 0; j < kCandidateAngles; ++j) {
            const msl::float2 s = center + ring * radius *
                                               direction(2.0f * kPi * static_cast<float>(j) /
                                                         static_cast<float>(kCandidateAngles));
            if (!mask.isClean(s, 1.2f * radius + 1.0f)) continue;
            clean.clear();
            for (const msl::float2& b : offsets) {
                if (mask.isClean(s + b, kPointRadius)) clean.push_back(b);
            }
            if (clean.size() < required) continue;
            // Every candidate is scored; only a strictly better one replaces the best so far.
            const float score = sourceScore(sample, center, s, radius, ring, clean);
            if (score < bestScore) {
                bestScore = score;
                best = Candidate{s, clean};
            }
        }
    }
    if (!best) return std::nullopt;

    SpotRepairKernel::Placement placement{disc, best->center / msl::float2{width, height}, {}};
    placement.boundary.reserve(best->offsets.size());
    for (const msl::float2& b : best->offsets) {
        placement.boundary.push_back((center + b) / msl::float2{width, height});
    }
    return placement;
}

}  // namespace quillmere
