#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace quillmere::rawbridge {

// One flat 16 × 16 patch of one channel of the packed plane.
struct NoisePatch {
    float level;     // median of the 256 samples
    float variance;  // (1.4826022 × MAD of the 64 diagonal Haar details)²
    float texture;   // MAD of the 56 horizontal block-mean steps / (noise sigma + 1e-7)
};

// The median of a bin of patches: its signal level and noise variance.
struct NoiseFitPoint {
    float level;
    float variance;
};

struct NoiseLine {
    float shot;  // variance per unit of level
    float read;  // variance at level 0
};

// The median of `values` (reordered): the middle value, or for an even count the mean of the two
// middle values. Found by selection, not by sorting.
float median(std::vector<float>& values);

// Patches are this many elements a side.
inline constexpr int kPatchSide = 16;

// The kPatchSide × kPatchSide values of one channel of a patch of the packed plane, row by row.
using PatchSamples = std::array<float, kPatchSide * kPatchSide>;

// Fills `samples` with channel `channel` of the patch whose top-left element is (x, y) of a
// packed plane: the plane itself, or what it would hold where there is none.
using PatchReader = std::function<void(int x, int y, int channel, PatchSamples& samples)>;

// Measures the patch of channel `channel` whose top-left element is (x, y) in a packed plane of
// `planeWidth` elements per row. Nothing when the patch has more than 8 clipped or empty samples,
// a level outside 1e-5...0.95 or no measurable noise.
std::optional<NoisePatch> measurePatch(const float* plane, int planeWidth, int x, int y,
                                       int channel);

// Keeps the flattest 55 % of the patches (at least 32), sorts them by level and summarises runs
// of them as fit points in rising level; runs of fewer than 8 patches are dropped.
std::vector<NoiseFitPoint> fitPoints(std::vector<NoisePatch> patches);

// The robust line variance = read + shot × level through the points: the median pairwise slope
// clamped to 0...0.02, the median intercept, and a read-noise floor of 1e-10 when the line would
// cross zero; read clamped to 1e-10...0.01.
NoiseLine fitLine(const std::vector<NoiseFitPoint>& points);

// Fits the noise of each channel R, G1, B, G2 of a packed plane of planeWidth × planeHeight
// elements. A channel with fewer than 32 flat patches gets shot 0 and read 1e-6. Throws only
// std::bad_alloc.
void estimate(const float* plane, std::int32_t planeWidth, std::int32_t planeHeight,
              float noiseShot[4], float noiseReadVariance[4], std::int32_t noiseSamples[4]);

// The same fit of a plane of planeWidth × planeHeight elements that is not in memory: `read`
// gives each patch's values, from several threads at once.
void estimate(const PatchReader& read, std::int32_t planeWidth, std::int32_t planeHeight,
              float noiseShot[4], float noiseReadVariance[4], std::int32_t noiseSamples[4]);

}  // namespace quillmere::rawbridge
