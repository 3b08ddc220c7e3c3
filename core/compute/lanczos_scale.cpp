#include "core/compute/lanczos_scale.h"

#include <tbb/blocked_range.h>
#include <tbb/enumerable_thread_specific.h>
#include <tbb/parallel_for.h>
#include <tbb/task_arena.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace quillmere {
namespace {

constexpr double kLobes = 3.0;

double lanczos3(double x) {
    if (x == 0.0) return 1.0;
    if (std::fabs(x) >= kLobes) return 0.0;
    const double px = std::numbers::pi * x;
    return kLobes * std::sin(px) * std::sin(px / kLobes) / (px * px);
}

// The taps of every output position along one axis: output i reads the source texels
// index[start[i]] ..< index[start[i + 1]] with the matching weights, which sum to one. Source
// indices rise with i, so the first tap of an output is its lowest and the last its highest.
struct AxisFilter {
    std::vector<int> start;
    std::vector<int> index;
    std::vector<float> weight;

    int firstTap(int output) const { return index[static_cast<std::size_t>(start[output])]; }
    int lastTap(int output) const { return index[static_cast<std::size_t>(start[output + 1]) - 1]; }
};

AxisFilter makeFilter(int sourceSize, int destinationSize) {
    AxisFilter filter;
    filter.start.reserve(static_cast<std::size_t>(destinationSize) + 1);
    if (sourceSize == destinationSize) {  // exactly the identity, without rounding noise
        for (int i = 0; i < destinationSize; ++i) {
            filter.start.push_back(i);
            filter.index.push_back(i);
            filter.weight.push_back(1.0f);
        }
        filter.start.push_back(destinationSize);
        return filter;
    }
    const double scale = static_cast<double>(destinationSize) / sourceSize;
    const double filterScale = std::min(scale, 1.0);  // widen the kernel when shrinking
    const double support = kLobes / filterScale;
    std::vector<double> weights;
    std::vector<int> indices;
    for (int i = 0; i < destinationSize; ++i) {
        const double centre = (i + 0.5) / scale - 0.5;
        const auto first = static_cast<long long>(std::ceil(centre - support));
        const auto last = static_cast<long long>(std::floor(centre + support));
        weights.clear();
        indices.clear();
        double sum = 0.0;
        for (long long j = first; j <= last; ++j) {
            const double w = lanczos3((static_cast<double>(j) - centre) * filterScale);
            if (w == 0.0) continue;
            const int clamped = static_cast<int>(std::clamp<long long>(j, 0, sourceSize - 1));
            if (!indices.empty() && indices.back() == clamped) {
                weights.back() += w;  // taps beyond the edge all read the edge texel
            } else {
                indices.push_back(clamped);
                weights.push_back(w);
            }
            sum += w;
        }
        filter.start.push_back(static_cast<int>(filter.index.size()));
        for (std::size_t k = 0; k < indices.size(); ++k) {
            filter.index.push_back(indices[k]);
            filter.weight.push_back(static_cast<float>(weights[k] / sum));
        }
    }
    filter.start.push_back(static_cast<int>(filter.index.size()));
    return filter;
}

void filterRow(const AxisFilter& filter, const std::vector<msl::float4>& source,
               msl::float4* destination, std::size_t destinationWidth) {
    for (std::size_t x = 0; x < destinationWidth; ++x) {
        msl::float4 sum;
        for (int k = filter.start[x]; k < filter.start[x + 1]; ++k) {
            sum += source[static_cast<std::size_t>(filter.index[static_cast<std::size_t>(k)])] *
                   filter.weight[static_cast<std::size_t>(k)];
        }
        destination[x] = sum;
    }
}

struct Scratch {
    std::vector<msl::float4> sourceRow;
    std::vector<msl::float4> filteredRows;  // horizontally filtered source rows of one band
    std::vector<msl::float4> outputRow;
};

}  // namespace

void lanczosScale(const Texture& source, Texture& destination) {
    const AxisFilter horizontal = makeFilter(source.width(), destination.width());
    const AxisFilter vertical = makeFilter(source.height(), destination.height());
    const auto sourceWidth = static_cast<std::size_t>(source.width());
    const auto width = static_cast<std::size_t>(destination.width());

    // Each band of output rows filters the source rows it needs horizontally, then vertically;
    // neighbouring bands redo their few shared rows, so memory stays bounded by the band. The
    // band size follows the thread count, but no result depends on it.
    const int threads = tbb::this_task_arena::max_concurrency();
    const int bandRows = std::clamp(destination.height() / (4 * threads), 8, 64);
    tbb::enumerable_thread_specific<Scratch> scratches;
    tbb::parallel_for(
        tbb::blocked_range<int>(0, destination.height(), bandRows),
        [&](const tbb::blocked_range<int>& band) {
            Scratch& scratch = scratches.local();
            const int firstRow = vertical.firstTap(band.begin());
            const int lastRow = vertical.lastTap(band.end() - 1);
            scratch.sourceRow.resize(sourceWidth);
            scratch.filteredRows.resize(static_cast<std::size_t>(lastRow - firstRow + 1) * width);
            scratch.outputRow.resize(width);
            for (int y = firstRow; y <= lastRow; ++y) {
                source.readRow(0, y, scratch.sourceRow);
                filterRow(
                    horizontal, scratch.sourceRow,
                    scratch.filteredRows.data() + static_cast<std::size_t>(y - firstRow) * width,
                    width);
            }
            for (int y = band.begin(); y < band.end(); ++y) {
                std::fill(scratch.outputRow.begin(), scratch.outputRow.end(), msl::float4{});
                for (int k = vertical.start[y]; k < vertical.start[y + 1]; ++k) {
                    const float w = vertical.weight[static_cast<std::size_t>(k)];
                    const msl::float4* row =
                        scratch.filteredRows.data() +
                        static_cast<std::size_t>(vertical.index[static_cast<std::size_t>(k)] -
                                                 firstRow) *
                            width;
                    for (std::size_t x = 0; x < width; ++x) scratch.outputRow[x] += row[x] * w;
                }
                destination.writeRow(0, y, scratch.outputRow);
            }
        });
}

}  // namespace quillmere
