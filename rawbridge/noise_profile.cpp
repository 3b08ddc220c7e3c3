#include "rawbridge/noise_profile.h"

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <span>

namespace quillmere::rawbridge {
namespace {

constexpr int kPatchSize = kPatchSide;
constexpr int kBlocksPerRow = kPatchSize / 2;
constexpr int kBlocks = kBlocksPerRow * kBlocksPerRow;
constexpr int kBlockSteps = kBlocksPerRow * (kBlocksPerRow - 1);
constexpr int kMaximumClippedSamples = 8;
constexpr float kClippedLevel = 0.98f;
constexpr float kLowestLevel = 1e-5f;
constexpr float kHighestLevel = 0.95f;
constexpr float kLowestVariance = 1e-12f;
// Makes the MAD of Gaussian noise an estimate of its standard deviation.
constexpr float kGaussianMADScale = 1.4826022f;
constexpr float kTextureEpsilon = 1e-7f;
constexpr std::size_t kMinimumPatches = 32;
constexpr std::size_t kMinimumRun = 8;
constexpr std::size_t kBinCount = 16;
constexpr float kMinimumLevelStep = 1e-4f;
constexpr float kMaximumShot = 0.02f;
constexpr float kReadFloor = 1e-10f;
constexpr float kMaximumRead = 0.01f;
constexpr float kFallbackRead = 1e-6f;
// The patch step grows with the plane so that about this many patch positions are visited.
constexpr double kTargetPatchPositions = 5000.0;

float medianOf(std::span<float> values) {
    const std::size_t middle = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(middle),
                     values.end());
    const float upper = values[middle];
    if (values.size() % 2 == 1) return upper;
    const float lower =
        *std::max_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(middle));
    return (lower + upper) * 0.5f;
}

// The median absolute deviation; reorders `values`.
float medianAbsoluteDeviation(std::span<float> values) {
    const float centre = medianOf(values);
    for (float& value : values) value = std::fabs(value - centre);
    return medianOf(values);
}

float clampShot(float shot) { return std::clamp(shot, 0.0f, kMaximumShot); }

void readPlanePatch(const float* plane, int planeWidth, int x, int y, int channel,
                    PatchSamples& samples) {
    for (int row = 0; row < kPatchSize; ++row) {
        const float* element =
            plane + ((static_cast<std::size_t>(y + row) * static_cast<std::size_t>(planeWidth) +
                      static_cast<std::size_t>(x)) * 4 + static_cast<std::size_t>(channel));
        for (int col = 0; col < kPatchSize; ++col, element += 4) {
            samples[static_cast<std::size_t>(row * kPatchSize + col)] = *element;
        }
    }
}

// The patch's statistics from its 256 values (which it reorders).
std::optional<NoisePatch> measureSamples(PatchSamples& samples) {
    int clipped = 0;
    for (const float value : samples) {
        if (value <= 0.0f || value >= kClippedLevel) ++clipped;
    }
    if (clipped > kMaximumClippedSamples) return std::nullopt;

    std::array<float, kBlocks> details;
    std::array<float, kBlocks> means;
    for (int blockRow = 0; blockRow < kBlocksPerRow; ++blockRow) {
        for (int blockCol = 0; blockCol < kBlocksPerRow; ++blockCol) {
            const std::size_t topLeft =
                static_cast<std::size_t>(2 * blockRow * kPatchSize + 2 * blockCol);
            const float a = samples[topLeft];
            const float b = samples[topLeft + 1];
            const float d = samples[topLeft + kPatchSize];
            const float e = samples[topLeft + kPatchSize + 1];
            const std::size_t block = static_cast<std::size_t>(blockRow * kBlocksPerRow + blockCol);
            // The diagonal Haar coefficient: a flat signal cancels and the noise keeps its
            // per-sample variance.
            details[block] = (a - b - d + e) * 0.5f;
            means[block] = (a + b + d + e) * 0.25f;
        }
    }
    const float sigma = kGaussianMADScale * medianAbsoluteDeviation(details);
    const float variance = sigma * sigma;
    const float level = medianOf(samples);
    if (level < kLowestLevel || level > kHighestLevel || variance < kLowestVariance) {
        return std::nullopt;
    }

    std::array<float, kBlockSteps> steps;
    std::size_t step = 0;
    for (int blockRow = 0; blockRow < kBlocksPerRow; ++blockRow) {
        for (int block = 0; block + 1 < kBlocksPerRow; ++block) {
            const std::size_t index = static_cast<std::size_t>(blockRow * kBlocksPerRow + block);
            steps[step++] = means[index + 1] - means[index];
        }
    }
    const float texture = medianAbsoluteDeviation(steps) / (sigma + kTextureEpsilon);
    return NoisePatch{level, variance, texture};
}

}  // namespace

float median(std::vector<float>& values) { return medianOf(values); }

std::optional<NoisePatch> measurePatch(const float* plane, int planeWidth, int x, int y,
                                       int channel) {
    PatchSamples samples;
    readPlanePatch(plane, planeWidth, x, y, channel, samples);
    return measureSamples(samples);
}

std::vector<NoiseFitPoint> fitPoints(std::vector<NoisePatch> patches) {
    std::sort(patches.begin(), patches.end(),
              [](const NoisePatch& a, const NoisePatch& b) { return a.texture < b.texture; });
    const std::size_t kept =
        std::min(patches.size(), std::max(patches.size() * 55 / 100, kMinimumPatches));
    patches.resize(kept);
    std::sort(patches.begin(), patches.end(),
              [](const NoisePatch& a, const NoisePatch& b) { return a.level < b.level; });

    const std::size_t binSize = std::max(kept / kBinCount, kBinCount);
    std::vector<NoiseFitPoint> points;
    std::vector<float> levels;
    std::vector<float> variances;
    for (std::size_t start = 0; start < kept; start += binSize) {
        const std::size_t end = std::min(start + binSize, kept);
        if (end - start < kMinimumRun) continue;
        levels.clear();
        variances.clear();
        for (std::size_t index = start; index < end; ++index) {
            levels.push_back(patches[index].level);
            variances.push_back(patches[index].variance);
        }
        points.push_back({medianOf(levels), medianOf(variances)});
    }
    return points;
}

NoiseLine fitLine(const std::vector<NoiseFitPoint>& points) {
    std::vector<float> slopes;
    for (std::size_t i = 0; i < points.size(); ++i) {
        for (std::size_t j = i + 1; j < points.size(); ++j) {
            const float run = points[j].level - points[i].level;
            if (run > kMinimumLevelStep) {
                slopes.push_back((points[j].variance - points[i].variance) / run);
            }
        }
    }
    float shot = slopes.empty() ? 0.0f : clampShot(medianOf(slopes));

    std::vector<float> intercepts;
    for (const NoiseFitPoint& point : points) {
        intercepts.push_back(std::fma(-shot, point.level, point.variance));
    }
    float read = intercepts.empty() ? 0.0f : medianOf(intercepts);

    // A line that crosses zero below the lowest level leaves no read noise to speak of; the
    // signal-dependent part is then fitted through the origin.
    if (points.empty() || read < kReadFloor) {
        std::vector<float> ratios;
        for (const NoiseFitPoint& point : points) {
            ratios.push_back((point.variance - kReadFloor) / point.level);
        }
        shot = ratios.empty() ? 0.0f : clampShot(medianOf(ratios));
        read = kReadFloor;
    }
    return NoiseLine{shot, std::clamp(read, kReadFloor, kMaximumRead)};
}

void estimate(const float* plane, std::int32_t planeWidth, std::int32_t planeHeight,
              float noiseShot[4], float noiseReadVariance[4], std::int32_t noiseSamples[4]) {
    estimate(
        [&](int x, int y, int channel, PatchSamples& samples) {
            readPlanePatch(plane, planeWidth, x, y, channel, samples);
        },
        planeWidth, planeHeight, noiseShot, noiseReadVariance, noiseSamples);
}

void estimate(const PatchReader& read, std::int32_t planeWidth, std::int32_t planeHeight,
              float noiseShot[4], float noiseReadVariance[4], std::int32_t noiseSamples[4]) {
    int spacing = static_cast<int>(std::sqrt(static_cast<double>(planeWidth) *
                                             static_cast<double>(planeHeight) /
                                             kTargetPatchPositions));
    spacing &= ~1;
    const int step = spacing > kPatchSize ? spacing : kPatchSize;
    const int patchRows = planeHeight >= kPatchSize ? (planeHeight - kPatchSize) / step + 1 : 0;

    // Every channel's patches, row of patches by row of patches: the rows are measured in
    // parallel and joined in grid order, the order the fit's sorts start from.
    std::array<std::vector<std::vector<NoisePatch>>, 4> rows;
    for (auto& channelRows : rows) channelRows.resize(static_cast<std::size_t>(patchRows));
    tbb::parallel_for(tbb::blocked_range<int>(0, 4 * patchRows), [&](const auto& tasks) {
        for (int task = tasks.begin(); task != tasks.end(); ++task) {
            const int channel = task / patchRows;
            const int y = (task % patchRows) * step;
            std::vector<NoisePatch>& found =
                rows[static_cast<std::size_t>(channel)][static_cast<std::size_t>(task % patchRows)];
            PatchSamples samples;
            for (int x = 0; x + kPatchSize <= planeWidth; x += step) {
                read(x, y, channel, samples);
                if (auto patch = measureSamples(samples)) found.push_back(*patch);
            }
        }
    });

    std::vector<NoisePatch> patches;
    for (int channel = 0; channel < 4; ++channel) {
        patches.clear();
        for (const std::vector<NoisePatch>& row : rows[static_cast<std::size_t>(channel)]) {
            patches.insert(patches.end(), row.begin(), row.end());
        }
        noiseSamples[channel] = static_cast<std::int32_t>(patches.size());
        if (patches.size() < kMinimumPatches) {
            noiseShot[channel] = 0.0f;
            noiseReadVariance[channel] = kFallbackRead;
            continue;
        }
        const NoiseLine line = fitLine(fitPoints(patches));
        noiseShot[channel] = line.shot;
        noiseReadVariance[channel] = line.read;
    }
}

}  // namespace quillmere::rawbridge
