// The row loops below must vectorise to be fast. GCC keeps comparisons and selections scalar
// while it assumes floating-point operations may trap, and keeps sqrtf scalar while it must set
// errno for a negative argument; nothing here reads the exception flags or errno, so both
// assumptions are dropped for this file. Results are unchanged: this is not fast-math (no
// reassociation, no contraction, NaN and infinities kept).
#pragma GCC optimize("no-trapping-math", "no-math-errno", "vect-cost-model=dynamic")

#include "core/render/sharpening_shader.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <span>
#include <vector>

#include "core/compute/luminance.h"
#include "core/compute/msl_math.h"
#include "core/render/sharpening_uniforms.h"

namespace quillmere {
namespace {

// Rows are loaded a band at a time, so scratch memory stays small whatever range of rows one call
// is given, and rows shared by neighbouring output rows are converted once.
constexpr int kBandRows = 32;

// The shading language's max and min (a NaN operand gives the other one) written as a comparison
// and a selection, which vectorise where fmaxf and fminf do not. Equal to msl::max and msl::min
// for every pair of operands.
inline float maxNumber(float a, float b) { return (a > b) | (b != b) ? a : b; }
inline float minNumber(float a, float b) { return (a < b) | (b != b) ? a : b; }
inline float clampNumber(float x, float lo, float hi) { return minNumber(maxNumber(x, lo), hi); }
inline float smoothStep(float edge0, float edge1, float x) {
    const float t = clampNumber((x - edge0) / (edge1 - edge0), 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}

inline float detailLuma(msl::float4 texel) { return msl::dot(texel.xyz(), kRec709Luma); }

int supportOf(const SharpenUniforms& uniforms) {
    // The support comes from a buffer: never trust it to stay within the weight table.
    return std::clamp(uniforms.support, 1, kSharpenMaxSupport);
}

// Adds one tap of both Gaussians to the sums of `width` texels. The pointers are parameters so
// that their __restrict holds and the loop vectorises without run-time overlap checks. An AVX2
// clone runs where the processor has it; every operation is a single IEEE operation without
// contraction, so both clones give the same bits.
__attribute__((target_clones("avx2", "default"))) void addWeightedTap(
    const float* __restrict fineSource, const float* __restrict coarseSource, float fineWeight,
    float coarseWeight, std::size_t width, float* __restrict fine, float* __restrict coarse) {
    for (std::size_t x = 0; x < width; ++x) {
        fine[x] += fineSource[x] * fineWeight;
        coarse[x] += coarseSource[x] * coarseWeight;
    }
}

// Writes the two sums as one row of scales (red fine, green coarse).
void writeScales(Texture& scales, int y, const std::vector<float>& fine,
                 const std::vector<float>& coarse, std::vector<msl::float4>& row) {
    for (std::size_t x = 0; x < row.size(); ++x) row[x] = {fine[x], coarse[x], 0.0f, 1.0f};
    scales.writeRow(0, y, row);
}

void sharpenHorizontal(const KernelArguments& arguments, RowRange rows) {
    const Texture& image = arguments.texture(0);
    Texture& scales = arguments.texture(1);
    const SharpenUniforms uniforms = arguments.value<SharpenUniforms>(0);
    const SharpenWeights weights = arguments.value<SharpenWeights>(1);
    const int support = supportOf(uniforms);
    // Grid positions outside the scales or the image do nothing.
    const int width = std::min({arguments.threadsPerGrid().width, scales.width(), image.width()});
    const int rowEnd = std::min({rows.end, scales.height(), image.height()});
    if (width <= 0 || rows.begin >= rowEnd) return;

    // One image row's luminance, padded on both sides with copies of its edge values so that the
    // taps never clamp a column.
    const auto imageWidth = static_cast<std::size_t>(image.width());
    constexpr std::size_t pad = kSharpenMaxSupport;
    thread_local std::vector<msl::float4> texels;
    thread_local std::vector<float> luminance, fine, coarse;
    thread_local std::vector<msl::float4> row;
    texels.resize(imageWidth);
    luminance.resize(imageWidth + 2 * pad);
    row.resize(static_cast<std::size_t>(width));
    for (int y = rows.begin; y < rowEnd; ++y) {
        image.readRow(0, y, texels);
        for (std::size_t x = 0; x < imageWidth; ++x) luminance[pad + x] = detailLuma(texels[x]);
        std::fill_n(luminance.begin(), pad, luminance[pad]);
        std::fill_n(luminance.begin() + static_cast<std::ptrdiff_t>(pad + imageWidth), pad,
                    luminance[pad + imageWidth - 1]);
        fine.assign(row.size(), 0.0f);
        coarse.assign(row.size(), 0.0f);
        for (int k = -support; k <= support; ++k) {
            const msl::float2 weight = weights.taps[k + kSharpenMaxSupport];
            const float* source = &luminance[static_cast<std::size_t>(static_cast<int>(pad) + k)];
            addWeightedTap(source, source, weight.x, weight.y, row.size(), fine.data(),
                           coarse.data());
        }
        writeScales(scales, y, fine, coarse, row);
    }
}

// Rows first ... last of a texture's first two channels, as two planes of whole rows.
struct ScaleRows {
    int firstRow = 0;
    std::size_t width = 0;
    std::vector<float> fine, coarse;
    std::vector<msl::float4> texels;

    void load(const Texture& scales, int first, int last) {
        firstRow = first;
        width = static_cast<std::size_t>(scales.width());
        const std::size_t size = static_cast<std::size_t>(last - first + 1) * width;
        fine.resize(size);
        coarse.resize(size);
        texels.resize(width);
        for (int y = first; y <= last; ++y) {
            scales.readRow(0, y, texels);
            const std::size_t start = rowStart(y);
            for (std::size_t x = 0; x < width; ++x) {
                fine[start + x] = texels[x].x;
                coarse[start + x] = texels[x].y;
            }
        }
    }

    // Offset of texture row `y` (already clamped to the texture) in the planes.
    std::size_t rowStart(int y) const { return static_cast<std::size_t>(y - firstRow) * width; }
};

void sharpenVertical(const KernelArguments& arguments, RowRange rows) {
    const Texture& source = arguments.texture(0);
    Texture& scales = arguments.texture(1);
    const SharpenUniforms uniforms = arguments.value<SharpenUniforms>(0);
    const SharpenWeights weights = arguments.value<SharpenWeights>(1);
    const int support = supportOf(uniforms);
    const int width = std::min({arguments.threadsPerGrid().width, scales.width(), source.width()});
    const int rowEnd = std::min({rows.end, scales.height(), source.height()});
    if (width <= 0 || rows.begin >= rowEnd) return;

    const int lastSourceRow = source.height() - 1;
    auto clampRow = [&](int y) { return std::clamp(y, 0, lastSourceRow); };
    thread_local ScaleRows band;
    thread_local std::vector<float> fine, coarse;
    thread_local std::vector<msl::float4> row;
    row.resize(static_cast<std::size_t>(width));
    for (int bandStart = rows.begin; bandStart < rowEnd; bandStart += kBandRows) {
        const int bandEnd = std::min(bandStart + kBandRows, rowEnd);
        band.load(source, clampRow(bandStart - support), clampRow(bandEnd - 1 + support));
        for (int y = bandStart; y < bandEnd; ++y) {
            fine.assign(row.size(), 0.0f);
            coarse.assign(row.size(), 0.0f);
            for (int k = -support; k <= support; ++k) {
                const msl::float2 weight = weights.taps[k + kSharpenMaxSupport];
                const std::size_t start = band.rowStart(clampRow(y + k));
                addWeightedTap(&band.fine[start], &band.coarse[start], weight.x, weight.y,
                               row.size(), fine.data(), coarse.data());
            }
            writeScales(scales, y, fine, coarse, row);
        }
    }
}

// The apply pass's settings, worked out once per call.
struct ApplyConstants {
    float amount;
    float detailGain;  // weight of the finest term against the band-pass term
    float threshold;   // noise gate: residuals well below it are dropped
    float edgeLower;   // edge strengths over which the mask rises from 0 to 1
    float edgeUpper;
    float maskBlend;  // how far the edge mask replaces "sharpen everywhere"

    static ApplyConstants from(const SharpenUniforms& u) {
        const float lower = 0.002f + 0.07f * u.masking * u.masking;
        return {.amount = u.amount,
                .detailGain = msl::mix(0.35f, 1.4f, u.detail),
                .threshold = msl::mix(0.0035f, 0.00015f, u.detail),
                .edgeLower = lower,
                .edgeUpper = lower + 0.015f + 0.06f * u.masking,
                .maskBlend = std::sqrt(u.masking)};
    }
};

// Image luminance and the two scales for rows first ... last, each row padded by one texel on
// both sides with copies of its edge values, so the 3 × 3 neighbourhood never clamps a column.
struct ApplyRows {
    int firstRow = 0;
    std::size_t paddedWidth = 0;
    std::vector<float> luminance, fine, coarse;
    std::vector<msl::float4> texels;

    void load(const Texture& image, const Texture& scales, int first, int last, int width) {
        firstRow = first;
        const auto count = static_cast<std::size_t>(width);
        paddedWidth = count + 2;
        const std::size_t size = static_cast<std::size_t>(last - first + 1) * paddedWidth;
        luminance.resize(size);
        fine.resize(size);
        coarse.resize(size);
        texels.resize(count);
        for (int y = first; y <= last; ++y) {
            const std::size_t start = rowStart(y);
            image.readRow(0, y, texels);
            for (std::size_t x = 0; x < count; ++x)
                luminance[start + 1 + x] = detailLuma(texels[x]);
            scales.readRow(0, y, texels);
            for (std::size_t x = 0; x < count; ++x) {
                fine[start + 1 + x] = texels[x].x;
                coarse[start + 1 + x] = texels[x].y;
            }
            for (std::vector<float>* plane : {&luminance, &fine, &coarse}) {
                (*plane)[start] = (*plane)[start + 1];
                (*plane)[start + count + 1] = (*plane)[start + count];
            }
        }
    }

    std::size_t rowStart(int y) const {
        return static_cast<std::size_t>(y - firstRow) * paddedWidth;
    }
};

// Running statistics of one output row's 3 × 3 neighbourhoods.
struct NeighbourhoodSums {
    std::vector<float> low, high, gradientX, gradientY;
};

// Takes one neighbour into the statistics of `width` texels: the luminance range and the Sobel
// gradient of the fine scale. `gradientXWeight` and `gradientYWeight` are the Sobel coefficients
// of this neighbour's offset.
__attribute__((target_clones("avx2", "default"))) void addNeighbour(
    const float* __restrict luminance, const float* __restrict fine, float gradientXWeight,
    float gradientYWeight, std::size_t width, float* __restrict low, float* __restrict high,
    float* __restrict gradientX, float* __restrict gradientY) {
    for (std::size_t x = 0; x < width; ++x) {
        const float n = luminance[x];
        low[x] = minNumber(low[x], n);
        high[x] = maxNumber(high[x], n);
        const float f = fine[x];
        gradientX[x] = gradientX[x] + gradientXWeight * f * 0.25f;
        gradientY[x] = gradientY[x] + gradientYWeight * f * 0.25f;
    }
}

// The luminance offset of `width` texels before the channel bound.
__attribute__((target_clones("avx2", "default"))) void sharpenOffsets(
    const ApplyConstants& c, const float* __restrict luminance, const float* __restrict fine,
    const float* __restrict coarse, const float* __restrict low, const float* __restrict high,
    const float* __restrict gradientX, const float* __restrict gradientY, std::size_t width,
    float* __restrict offset) {
    for (std::size_t x = 0; x < width; ++x) {
        const float y = luminance[x];
        const float bf = fine[x];
        // Low detail favours contours (the band-pass term); high detail admits fine texture and
        // grain (the finest term).
        float residual = (bf - coarse[x]) + c.detailGain * (y - bf);
        residual = residual * smoothStep(0.0f, c.threshold, std::fabs(residual));
        // The gradient is taken on the fine scale, which rejects isolated sensor noise.
        const float edge = std::sqrt(gradientX[x] * gradientX[x] + gradientY[x] * gradientY[x]);
        const float mask = msl::mix(1.0f, smoothStep(c.edgeLower, c.edgeUpper, edge), c.maskBlend);
        float delta = c.amount * residual * mask;
        // Overshoot is bounded by the local contrast, so flat areas get no halo at all.
        const float allowance = minNumber(0.06f, (high[x] - low[x]) * 0.15f);
        delta = clampNumber(y + delta, low[x] - allowance, high[x] + allowance) - y;
        offset[x] = clampNumber(delta, -0.075f, 0.075f);
    }
}

void sharpenApply(const KernelArguments& arguments, RowRange rows) {
    const Texture& image = arguments.texture(0);
    Texture& output = arguments.texture(1);
    const Texture& scales = arguments.texture(2);
    const ApplyConstants constants = ApplyConstants::from(arguments.value<SharpenUniforms>(0));
    // The neighbourhood is clamped to the image; an image and scales of different sizes are
    // read only where both exist.
    const int imageWidth = std::min(image.width(), scales.width());
    const int imageHeight = std::min(image.height(), scales.height());
    const int width = std::min({arguments.threadsPerGrid().width, output.width(), imageWidth});
    const int rowEnd = std::min({rows.end, output.height(), imageHeight});
    if (width <= 0 || rows.begin >= rowEnd) return;

    auto clampRow = [&](int y) { return std::clamp(y, 0, imageHeight - 1); };
    const auto count = static_cast<std::size_t>(width);
    thread_local ApplyRows band;
    thread_local NeighbourhoodSums sums;
    thread_local std::vector<float> offsets;
    thread_local std::vector<msl::float4> texels;
    offsets.resize(count);
    texels.resize(static_cast<std::size_t>(imageWidth));
    for (int bandStart = rows.begin; bandStart < rowEnd; bandStart += kBandRows) {
        const int bandEnd = std::min(bandStart + kBandRows, rowEnd);
        band.load(image, scales, clampRow(bandStart - 1), clampRow(bandEnd), imageWidth);
        for (int y = bandStart; y < bandEnd; ++y) {
            // Neighbour (dx, dy) of texel x sits at plane column x + 1 + dx.
            const std::size_t centre = band.rowStart(y) + 1;
            sums.low.assign(band.luminance.begin() + static_cast<std::ptrdiff_t>(centre),
                            band.luminance.begin() + static_cast<std::ptrdiff_t>(centre + count));
            sums.high = sums.low;
            sums.gradientX.assign(count, 0.0f);
            sums.gradientY.assign(count, 0.0f);
            for (int dy = -1; dy <= 1; ++dy) {
                const std::size_t rowStart = band.rowStart(clampRow(y + dy)) + 1;
                for (int dx = -1; dx <= 1; ++dx) {
                    const std::size_t start =
                        static_cast<std::size_t>(static_cast<std::ptrdiff_t>(rowStart) + dx);
                    addNeighbour(&band.luminance[start], &band.fine[start],
                                 static_cast<float>(dx * (dy == 0 ? 2 : 1)),
                                 static_cast<float>(dy * (dx == 0 ? 2 : 1)), count, sums.low.data(),
                                 sums.high.data(), sums.gradientX.data(), sums.gradientY.data());
                }
            }
            sharpenOffsets(constants, &band.luminance[centre], &band.fine[centre],
                           &band.coarse[centre], sums.low.data(), sums.high.data(),
                           sums.gradientX.data(), sums.gradientY.data(), count, offsets.data());

            // One offset for all three channels, so no coloured fringes appear; it is bounded so
            // that no channel leaves 0...1.
            image.readRow(0, y, texels);
            for (std::size_t x = 0; x < count; ++x) {
                const msl::float4 t = texels[x];
                const float lowest = minNumber(minNumber(t.x, t.y), t.z);
                const float highest = maxNumber(maxNumber(t.x, t.y), t.z);
                const float delta = clampNumber(offsets[x], -lowest, 1.0f - highest);
                texels[x] = {t.x + delta, t.y + delta, t.z + delta, t.w};
            }
            output.writeRow(0, y, std::span<const msl::float4>(texels.data(), count));
        }
    }
}

}  // namespace

KernelLibrary makeSharpeningKernelLibrary() {
    KernelLibrary library;
    library.add("sharpen_horizontal", sharpenHorizontal);
    library.add("sharpen_vertical", sharpenVertical);
    library.add("sharpen_apply", sharpenApply);
    return library;
}

}  // namespace quillmere
