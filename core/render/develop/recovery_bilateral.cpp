// The tap loop below must vectorise to be fast. GCC turns its comparisons and selections into
// vector blends only when it may assume floating-point operations do not trap; nothing here reads
// the floating-point exception flags. Results are unchanged: this is not fast-math (no
// reassociation, no contraction, NaN and infinities kept).
#pragma GCC optimize("no-trapping-math", "vect-cost-model=dynamic")

#include "core/render/develop/recovery_bilateral.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <vector>

#include "core/compute/msl_math.h"

namespace quillmere {
namespace {

constexpr int kTaps = 2 * kBilateralRadius + 1;

using SpatialWeights = std::array<float, kTaps * kTaps>;

// e^(−(x² + y²) / 128) for every offset, rows of offsets first.
const SpatialWeights& spatialWeights() {
    static const SpatialWeights weights = [] {
        SpatialWeights table{};
        for (int y = -kBilateralRadius; y <= kBilateralRadius; ++y) {
            for (int x = -kBilateralRadius; x <= kBilateralRadius; ++x) {
                table[static_cast<std::size_t>((y + kBilateralRadius) * kTaps + x +
                                               kBilateralRadius)] =
                    msl::exp(-static_cast<float>(x * x + y * y) / 128.0f);
            }
        }
        return table;
    }();
    return weights;
}

// The guide rows a band of base rows reads, each padded by the filter radius on both sides with
// copies of its edge texels, so the tap loops never clamp a column.
struct PaddedRows {
    int firstRow = 0;
    std::size_t paddedWidth = 0;
    std::vector<float> texels;

    void load(const GuideView& guide, int first, int last) {
        firstRow = first;
        const auto width = static_cast<std::size_t>(guide.width);
        paddedWidth = width + 2 * kBilateralRadius;
        texels.resize(static_cast<std::size_t>(last - first + 1) * paddedWidth);
        for (int y = first; y <= last; ++y) {
            float* row = &texels[rowStart(y)];
            for (std::size_t p = 0; p < paddedWidth; ++p) {
                row[p] = guide.clampedAt(static_cast<int>(p) - kBilateralRadius, y);
            }
        }
    }

    std::size_t rowStart(int y) const {
        return static_cast<std::size_t>(y - firstRow) * paddedWidth;
    }
};

// Adds one tap to the running sums of `width` base texels. The pointers are parameters so that
// __restrict holds and the loop vectorises without overlap checks; an AVX2 clone runs where the
// processor has it. Every operation is one IEEE operation without contraction, so both clones
// give the same bits.
__attribute__((target_clones("avx2", "default"))) void addTap(const float* __restrict taps,
                                                              const float* __restrict centres,
                                                              float spatial, std::size_t width,
                                                              float* __restrict sum,
                                                              float* __restrict total) {
    for (std::size_t x = 0; x < width; ++x) {
        const float v = taps[x];
        const float weight = spatial * recoveryRangeWeight(v - centres[x]);
        sum[x] += weight * v;
        total[x] += weight;
    }
}

}  // namespace

void recoveryBilateralRows(const GuideView& guide, int begin, int end, float* base) {
    if (begin >= end) return;
    const SpatialWeights& spatial = spatialWeights();
    const auto width = static_cast<std::size_t>(guide.width);
    const int lastRow = guide.height - 1;
    const auto clampRow = [lastRow](int y) { return std::clamp(y, 0, lastRow); };

    thread_local PaddedRows rows;
    thread_local std::vector<float> sum, total;
    rows.load(guide, clampRow(begin - kBilateralRadius), clampRow(end - 1 + kBilateralRadius));
    for (int y = begin; y < end; ++y) {
        sum.assign(width, 0.0f);
        total.assign(width, 0.0f);
        const float* centres = &rows.texels[rows.rowStart(y) + kBilateralRadius];
        std::size_t tap = 0;
        for (int oy = -kBilateralRadius; oy <= kBilateralRadius; ++oy) {
            const float* row = &rows.texels[rows.rowStart(clampRow(y + oy))];
            for (int ox = 0; ox < kTaps; ++ox, ++tap) {
                // Padded column x + ox is guide column x + ox − 12: the tap at offset ox − 12.
                addTap(row + ox, centres, spatial[tap], width, sum.data(), total.data());
            }
        }
        // The centre always contributes weight 1, so the total is never 0 for a finite guide.
        float* out = base + static_cast<std::size_t>(y) * width;
        for (std::size_t x = 0; x < width; ++x) out[x] = sum[x] / total[x];
    }
}

}  // namespace quillmere
