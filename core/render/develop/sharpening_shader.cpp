// The row loops below must vectorise to be fast. GCC keeps comparisons and selections scalar
// while it assumes floating-point operations may trap, and keeps sqrtf scalar while it must set
// errno for a negative argument; nothing here reads the exception flags or errno, so both
// assumptions are dropped for this file (errno by a compile option in core/CMakeLists.txt, as
// GCC takes that one only from the command line). Results are unchanged: this is not fast-math
// (no reassociation, no contraction, NaN and infinities kept).
#pragma GCC optimize("no-trapping-math", "vect-cost-model=dynamic")

#include "core/render/develop/sharpening_shader.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <span>
#include <stdexcept>
#include <vector>

#include "core/compute/half_float.h"
#include "core/compute/luminance.h"
#include "core/compute/msl_math.h"
#include "core/render/develop/sharpening_uniforms.h"

namespace quillmere {
namespace {

// Rows are loaded a band at a time, so scratch memory stays small whatever range of rows one call
// is given, and rows shared by neighbouring output rows are converted once.
constexpr int kBandRows = 32;

// The shading language's max and min (a NaN operand gives the other one) written as a comparison
// and selections, which vectorise where fmaxf and fminf do not: maxNumber and minNumber equal
// msl::max and msl::min for every pair of operands, larger and smaller (one vector instruction
// each) for every pair whose second operand is not NaN. (maxNumber and minNumber do not call
// larger and smaller: the vectoriser then rejects loops over them.)
inline float larger(float a, float b) { return a > b ? a : b; }  // b when a is NaN
inline float smaller(float a, float b) { return a < b ? a : b; }
inline float maxNumber(float a, float b) {
    const float largerOne = a > b ? a : b;
    return b != b ? a : largerOne;
}
inline float minNumber(float a, float b) {
    const float smallerOne = a < b ? a : b;
    return b != b ? a : smallerOne;
}
inline float clampNumber(float x, float lo, float hi) { return minNumber(maxNumber(x, lo), hi); }
// smoothstep from edge0 with `inverseWidth` = 1 / (edge1 − edge0), worked out once per pass.
inline float smoothStep(float edge0, float inverseWidth, float x) {
    const float t = clampNumber((x - edge0) * inverseWidth, 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}

// Whether every one of `count` values is finite (x − x is 0 only then).
__attribute__((target_clones("avx2", "default"))) bool allFinite(const float* values,
                                                                 std::size_t count) {
    int finite = 1;
    for (std::size_t x = 0; x < count; ++x) finite &= values[x] - values[x] == 0.0f ? 1 : 0;
    return finite != 0;
}

// The row helpers below read texels one component at a time and write them through a float
// pointer (a row of float4 is packed floats): whole-float4 copies and member stores keep the
// compiler from using strided vector loads and stores.

// Rec. 709 luminance of `count` texels, summed in the order msl::dot sums.
__attribute__((target_clones("avx2", "default"))) void rowLuminance(
    const msl::float4* __restrict texels, std::size_t count, float* __restrict luminance) {
    for (std::size_t x = 0; x < count; ++x) {
        luminance[x] =
            texels[x].x * kRec709Luma.x + texels[x].y * kRec709Luma.y + texels[x].z * kRec709Luma.z;
    }
}

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

// Scale textures are RG16Float: red the fine, green the coarse Gaussian. Their rows go straight
// between halves and two planes, as pairs of floats in between.
void requireScales(const Texture& scales) {
    if (scales.pixelFormat() != PixelFormat::rg16Float) {
        throw std::logic_error("Sharpening scales must be RG16Float.");
    }
}

__attribute__((target_clones("avx2", "default"))) void splitPairs(const float* __restrict pairs,
                                                                  std::size_t count,
                                                                  float* __restrict fine,
                                                                  float* __restrict coarse) {
    for (std::size_t x = 0; x < count; ++x) {
        fine[x] = pairs[2 * x];
        coarse[x] = pairs[2 * x + 1];
    }
}

__attribute__((target_clones("avx2", "default"))) void joinPairs(const float* __restrict fine,
                                                                 const float* __restrict coarse,
                                                                 std::size_t count,
                                                                 float* __restrict pairs) {
    for (std::size_t x = 0; x < count; ++x) {
        pairs[2 * x] = fine[x];
        pairs[2 * x + 1] = coarse[x];
    }
}

// The first `count` texels of scale row `y` into the two planes.
void readScales(const Texture& scales, int y, std::size_t count, float* fine, float* coarse) {
    thread_local std::vector<float> pairs;
    pairs.resize(2 * count);
    convertHalfToFloat(scales.halfRow(y).first(2 * count), pairs);
    splitPairs(pairs.data(), count, fine, coarse);
}

// The two planes' first `count` values into scale row `y`, rounded to half.
void writeScales(Texture& scales, int y, const std::vector<float>& fine,
                 const std::vector<float>& coarse, std::size_t count) {
    thread_local std::vector<float> pairs;
    pairs.resize(2 * count);
    joinPairs(fine.data(), coarse.data(), count, pairs.data());
    convertFloatToHalf(pairs, scales.halfRow(y).first(2 * count));
}

void sharpenHorizontal(const KernelArguments& arguments, RowRange rows) {
    const Texture& image = arguments.texture(SharpenScalesTexture::source);
    Texture& scales = arguments.texture(SharpenScalesTexture::scales);
    const auto uniforms = arguments.value<SharpenUniforms>(SharpenBuffer::uniforms);
    const auto weights = arguments.value<SharpenWeights>(SharpenBuffer::weights);
    const int support = supportOf(uniforms);
    requireScales(scales);
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
    const auto count = static_cast<std::size_t>(width);
    texels.resize(imageWidth);
    luminance.resize(imageWidth + 2 * pad);
    for (int y = rows.begin; y < rowEnd; ++y) {
        image.readRow(0, y, texels);
        rowLuminance(texels.data(), imageWidth, &luminance[pad]);
        std::fill_n(luminance.begin(), pad, luminance[pad]);
        std::fill_n(luminance.begin() + static_cast<std::ptrdiff_t>(pad + imageWidth), pad,
                    luminance[pad + imageWidth - 1]);
        fine.assign(count, 0.0f);
        coarse.assign(count, 0.0f);
        for (int k = -support; k <= support; ++k) {
            const msl::float2 weight = weights.taps[k + kSharpenMaxSupport];
            const float* source = &luminance[static_cast<std::size_t>(static_cast<int>(pad) + k)];
            addWeightedTap(source, source, weight.x, weight.y, count, fine.data(), coarse.data());
        }
        writeScales(scales, y, fine, coarse, count);
    }
}

// Rows first ... last of a scale texture, as two planes of whole rows.
struct ScaleRows {
    int firstRow = 0;
    std::size_t width = 0;
    std::vector<float> fine, coarse;

    void load(const Texture& scales, int first, int last) {
        firstRow = first;
        width = static_cast<std::size_t>(scales.width());
        const std::size_t size = static_cast<std::size_t>(last - first + 1) * width;
        fine.resize(size);
        coarse.resize(size);
        for (int y = first; y <= last; ++y) {
            readScales(scales, y, width, &fine[rowStart(y)], &coarse[rowStart(y)]);
        }
    }

    // Offset of texture row `y` (already clamped to the texture) in the planes.
    std::size_t rowStart(int y) const { return static_cast<std::size_t>(y - firstRow) * width; }
};

void sharpenVertical(const KernelArguments& arguments, RowRange rows) {
    const Texture& source = arguments.texture(SharpenScalesTexture::source);
    Texture& scales = arguments.texture(SharpenScalesTexture::scales);
    const auto uniforms = arguments.value<SharpenUniforms>(SharpenBuffer::uniforms);
    const auto weights = arguments.value<SharpenWeights>(SharpenBuffer::weights);
    const int support = supportOf(uniforms);
    requireScales(source);
    requireScales(scales);
    const int width = std::min({arguments.threadsPerGrid().width, scales.width(), source.width()});
    const int rowEnd = std::min({rows.end, scales.height(), source.height()});
    if (width <= 0 || rows.begin >= rowEnd) return;

    const int lastSourceRow = source.height() - 1;
    auto clampRow = [&](int y) { return std::clamp(y, 0, lastSourceRow); };
    thread_local ScaleRows band;
    thread_local std::vector<float> fine, coarse;
    const auto count = static_cast<std::size_t>(width);
    for (int bandStart = rows.begin; bandStart < rowEnd; bandStart += kBandRows) {
        const int bandEnd = std::min(bandStart + kBandRows, rowEnd);
        band.load(source, clampRow(bandStart - support), clampRow(bandEnd - 1 + support));
        for (int y = bandStart; y < bandEnd; ++y) {
            fine.assign(count, 0.0f);
            coarse.assign(count, 0.0f);
            for (int k = -support; k <= support; ++k) {
                const msl::float2 weight = weights.taps[k + kSharpenMaxSupport];
                const std::size_t start = band.rowStart(clampRow(y + k));
                addWeightedTap(&band.fine[start], &band.coarse[start], weight.x, weight.y, count,
                               fine.data(), coarse.data());
            }
            writeScales(scales, y, fine, coarse, count);
        }
    }
}

// The apply pass's settings, worked out once per call.
struct ApplyConstants {
    float amount;
    float detailGain;        // weight of the finest term against the band-pass term
    float inverseThreshold;  // noise gate: residuals well below the threshold are dropped
    float edgeLower;         // edge strengths over which the mask rises from 0 to 1
    float inverseEdgeRise;   // 1 / (upper − lower edge strength)
    float maskBlend;         // how far the edge mask replaces "sharpen everywhere"

    static ApplyConstants from(const SharpenUniforms& u) {
        const float lower = 0.002f + 0.07f * u.masking * u.masking;
        return {.amount = u.amount,
                .detailGain = msl::mix(0.35f, 1.4f, u.detail),
                .inverseThreshold = 1.0f / msl::mix(0.0035f, 0.00015f, u.detail),
                .edgeLower = lower,
                .inverseEdgeRise = 1.0f / ((lower + 0.015f + 0.06f * u.masking) - lower),
                .maskBlend = std::sqrt(u.masking)};
    }
};

// The image's texels, their luminance and the two scales for rows first ... last. The planes'
// rows are padded by one texel on both sides with copies of their edge values, so the 3 × 3
// neighbourhood never clamps a column.
struct ApplyRows {
    int firstRow = 0;
    std::size_t width = 0;
    std::vector<msl::float4> texels;
    std::vector<float> luminance, fine, coarse;
    // Whether the luminance and the fine scale are all finite, for the shortcuts of the offsets
    // that need it.
    bool finite = false;

    void load(const Texture& image, const Texture& scales, int first, int last, int count) {
        firstRow = first;
        width = static_cast<std::size_t>(count);
        const auto rowCount = static_cast<std::size_t>(last - first + 1);
        texels.resize(rowCount * width);
        luminance.resize(rowCount * (width + 2));
        fine.resize(luminance.size());
        coarse.resize(luminance.size());
        for (int y = first; y <= last; ++y) {
            const std::size_t start = planeStart(y);
            image.readRow(0, y, std::span<msl::float4>(&texels[texelStart(y)], width));
            rowLuminance(&texels[texelStart(y)], width, &luminance[start + 1]);
            readScales(scales, y, width, &fine[start + 1], &coarse[start + 1]);
            for (std::vector<float>* plane : {&luminance, &fine, &coarse}) {
                (*plane)[start] = (*plane)[start + 1];
                (*plane)[start + width + 1] = (*plane)[start + width];
            }
        }
        finite =
            allFinite(luminance.data(), luminance.size()) && allFinite(fine.data(), fine.size());
    }

    // Where row `y` (already clamped to the image) starts in the texels and in the planes.
    std::size_t texelStart(int y) const { return static_cast<std::size_t>(y - firstRow) * width; }
    std::size_t planeStart(int y) const {
        return static_cast<std::size_t>(y - firstRow) * (width + 2);
    }
};

// Three consecutive rows of a plane, each pointing at column 0 of its row (columns −1 and width
// exist: the planes are padded).
struct PlaneRows {
    const float* below;
    const float* centre;
    const float* above;
};

// The luminance offset of `width` texels before the channel bound. The 3 × 3 neighbourhood is
// visited row by row from below, left to right in each row, which fixes the order of the
// gradient sums.
//
// With Finite, every luminance and fine-scale value the texels read is finite, which allows two
// shortcuts with the same results: a neighbour is never NaN, so the NaN rule of the luminance
// range drops out; and the Sobel taps of zero weight add only zeros (at most turning a zero sum's
// sign, which squaring for the edge strength removes), so they are left out, and each weighted
// tap, an exact multiple of the fine value by a power of two, is worked out once for both
// gradients.
template <bool Finite>
[[gnu::always_inline]] inline void offsetsOf(
    const ApplyConstants& c, const float* __restrict lumBelow, const float* __restrict lumCentre,
    const float* __restrict lumAbove, const float* __restrict fineBelow,
    const float* __restrict fineCentre, const float* __restrict fineAbove,
    const float* __restrict coarse, std::size_t width, float* __restrict offset) {
    for (std::size_t x = 0; x < width; ++x) {
        const float y = lumCentre[x];
        const float bf = fineCentre[x];
        // Low detail favours contours (the band-pass term); high detail admits fine texture and
        // grain (the finest term).
        float residual = (bf - coarse[x]) + c.detailGain * (y - bf);
        residual = residual * smoothStep(0.0f, c.inverseThreshold, std::fabs(residual));

        // The luminance range around the pixel, and the Sobel gradient taken on the fine scale,
        // which rejects isolated sensor noise.
        float low = y, high = y, gradientX = 0.0f, gradientY = 0.0f;
        const auto i = static_cast<std::ptrdiff_t>(x);
        const auto widen = [&](const float* lum, std::ptrdiff_t column) {
            const float n = lum[column];
            low = Finite ? smaller(low, n) : minNumber(low, n);
            high = Finite ? larger(high, n) : maxNumber(high, n);
        };
        widen(lumBelow, i - 1);
        widen(lumBelow, i);
        widen(lumBelow, i + 1);
        widen(lumCentre, i - 1);
        widen(lumCentre, i);
        widen(lumCentre, i + 1);
        widen(lumAbove, i - 1);
        widen(lumAbove, i);
        widen(lumAbove, i + 1);
        if constexpr (Finite) {
            const float belowLeft = fineBelow[i - 1] * 0.25f, belowRight = fineBelow[i + 1] * 0.25f;
            const float aboveLeft = fineAbove[i - 1] * 0.25f, aboveRight = fineAbove[i + 1] * 0.25f;
            gradientX = -belowLeft + belowRight - fineCentre[i - 1] * 0.5f +
                        fineCentre[i + 1] * 0.5f - aboveLeft + aboveRight;
            gradientY = -belowLeft - fineBelow[i] * 0.5f - belowRight + aboveLeft +
                        fineAbove[i] * 0.5f + aboveRight;
        } else {
            // Zero-weight taps are added like the others: they carry a NaN or an infinity
            // through as the full sum would.
            auto take = [&](const float* fine, std::ptrdiff_t column, float weightX,
                            float weightY) {
                gradientX = gradientX + weightX * fine[column] * 0.25f;
                gradientY = gradientY + weightY * fine[column] * 0.25f;
            };
            take(fineBelow, i - 1, -1.0f, -1.0f);
            take(fineBelow, i, 0.0f, -2.0f);
            take(fineBelow, i + 1, 1.0f, -1.0f);
            take(fineCentre, i - 1, -2.0f, 0.0f);
            take(fineCentre, i, 0.0f, 0.0f);
            take(fineCentre, i + 1, 2.0f, 0.0f);
            take(fineAbove, i - 1, -1.0f, 1.0f);
            take(fineAbove, i, 0.0f, 2.0f);
            take(fineAbove, i + 1, 1.0f, 1.0f);
        }
        const float edge = std::sqrt(gradientX * gradientX + gradientY * gradientY);

        const float mask =
            msl::mix(1.0f, smoothStep(c.edgeLower, c.inverseEdgeRise, edge), c.maskBlend);
        float delta = c.amount * residual * mask;
        // Overshoot is bounded by the local contrast, so flat areas get no halo at all.
        const float allowance = minNumber(0.06f, (high - low) * 0.15f);
        delta = clampNumber(y + delta, low - allowance, high + allowance) - y;
        offset[x] = clampNumber(delta, -0.075f, 0.075f);
    }
}

// offsetsOf for any rows, and for rows whose values are all finite. An AVX2 clone of each runs
// where the processor has it; every operation is one IEEE operation without contraction, so
// both clones give the same bits.
__attribute__((target_clones("avx2", "default"))) void sharpenOffsets(
    const ApplyConstants& c, const float* __restrict lumBelow, const float* __restrict lumCentre,
    const float* __restrict lumAbove, const float* __restrict fineBelow,
    const float* __restrict fineCentre, const float* __restrict fineAbove,
    const float* __restrict coarse, std::size_t width, float* __restrict offset) {
    offsetsOf<false>(c, lumBelow, lumCentre, lumAbove, fineBelow, fineCentre, fineAbove, coarse,
                     width, offset);
}
__attribute__((target_clones("avx2", "default"))) void sharpenFiniteOffsets(
    const ApplyConstants& c, const float* __restrict lumBelow, const float* __restrict lumCentre,
    const float* __restrict lumAbove, const float* __restrict fineBelow,
    const float* __restrict fineCentre, const float* __restrict fineAbove,
    const float* __restrict coarse, std::size_t width, float* __restrict offset) {
    offsetsOf<true>(c, lumBelow, lumCentre, lumAbove, fineBelow, fineCentre, fineAbove, coarse,
                    width, offset);
}

// Adds each texel's offset to its three channels, bounded so that no channel leaves 0...1; alpha
// passes through. One offset for all three channels means no coloured fringes.
__attribute__((target_clones("avx2", "default"))) void addOffsets(const float* __restrict texels,
                                                                  const float* __restrict offsets,
                                                                  std::size_t count,
                                                                  float* __restrict result) {
    for (std::size_t x = 0; x < count; ++x) {
        const float r = texels[4 * x], g = texels[4 * x + 1], b = texels[4 * x + 2];
        const float lowest = minNumber(minNumber(r, g), b);
        const float highest = maxNumber(maxNumber(r, g), b);
        const float delta = clampNumber(offsets[x], -lowest, 1.0f - highest);
        result[4 * x] = r + delta;
        result[4 * x + 1] = g + delta;
        result[4 * x + 2] = b + delta;
        result[4 * x + 3] = texels[4 * x + 3];
    }
}

void sharpenApply(const KernelArguments& arguments, RowRange rows) {
    const Texture& image = arguments.texture(SharpenApplyTexture::image);
    Texture& output = arguments.texture(SharpenApplyTexture::output);
    const Texture& scales = arguments.texture(SharpenApplyTexture::scales);
    const ApplyConstants constants =
        ApplyConstants::from(arguments.value<SharpenUniforms>(SharpenBuffer::uniforms));
    requireScales(scales);
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
    thread_local std::vector<float> offsets;
    thread_local std::vector<msl::float4> result;
    offsets.resize(count);
    result.resize(count);
    for (int bandStart = rows.begin; bandStart < rowEnd; bandStart += kBandRows) {
        const int bandEnd = std::min(bandStart + kBandRows, rowEnd);
        band.load(image, scales, clampRow(bandStart - 1), clampRow(bandEnd), imageWidth);
        for (int y = bandStart; y < bandEnd; ++y) {
            auto rowsOf = [&](const std::vector<float>& plane) {
                return PlaneRows{&plane[band.planeStart(clampRow(y - 1)) + 1],
                                 &plane[band.planeStart(y) + 1],
                                 &plane[band.planeStart(clampRow(y + 1)) + 1]};
            };
            const PlaneRows luminance = rowsOf(band.luminance), fine = rowsOf(band.fine);
            const float* coarse = &band.coarse[band.planeStart(y) + 1];
            const float* texels = &band.texels[band.texelStart(y)].x;
            float* sharpened = &result[0].x;
            if (band.finite) {
                sharpenFiniteOffsets(constants, luminance.below, luminance.centre, luminance.above,
                                     fine.below, fine.centre, fine.above, coarse, count,
                                     offsets.data());
            } else {
                sharpenOffsets(constants, luminance.below, luminance.centre, luminance.above,
                               fine.below, fine.centre, fine.above, coarse, count, offsets.data());
            }
            addOffsets(texels, offsets.data(), count, sharpened);
            output.writeRow(0, y, result);
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
