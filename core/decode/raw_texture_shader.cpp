// The tap loop below must vectorise to be fast. GCC refuses to turn its comparisons and
// selections into vector blends while it assumes floating-point operations may trap; nothing
// here reads the floating-point exception flags, so that assumption is dropped for this file.
// Results are unchanged: this is not fast-math (no reassociation, no contraction, NaN and
// infinities kept). The cost model is the one -O3 uses, so -O2 builds vectorise it too.
#pragma GCC optimize("no-trapping-math", "vect-cost-model=dynamic")

#include "core/decode/raw_texture_shader.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <vector>

#include "core/compute/luminance.h"
#include "core/compute/msl_math.h"

namespace quillmere {
namespace {

constexpr int kRadius = 3;  // the window is (2 · 3 + 1)² = 49 pixels
constexpr int kWindow = 2 * kRadius + 1;
constexpr int kBandRows = 32;

// −(dx² + dy²) / 8 for every window offset, the spatial part of the weight's exponent.
constexpr std::array<float, kWindow* kWindow> kSpatialExponent = [] {
    std::array<float, kWindow * kWindow> exponents{};
    for (int dy = -kRadius; dy <= kRadius; ++dy) {
        for (int dx = -kRadius; dx <= kRadius; ++dx) {
            exponents[static_cast<std::size_t>((dy + kRadius) * kWindow + dx + kRadius)] =
                -static_cast<float>(dx * dx + dy * dy) / 8.0f;
        }
    }
    return exponents;
}();

// The input rows one call needs, converted to floats once and split into planes, each row padded
// by the window radius on both sides with copies of its edge texels: the tap loops then never
// clamp a column and run over contiguous memory, which the compiler vectorises.
struct InputRows {
    int firstRow = 0;
    std::size_t paddedWidth = 0;
    std::vector<msl::float4> texels;  // one row as read
    std::vector<float> red, green, blue, alpha, luminance;

    void load(const Texture& input, int first, int last) {
        firstRow = first;
        const auto width = static_cast<std::size_t>(input.width());
        paddedWidth = width + 2 * kRadius;
        const std::size_t size = static_cast<std::size_t>(last - first + 1) * paddedWidth;
        for (std::vector<float>* plane : {&red, &green, &blue, &alpha, &luminance})
            plane->resize(size);
        texels.resize(width);
        for (int y = first; y <= last; ++y) {
            input.readRow(0, y, texels);
            const std::size_t start = rowStart(y);
            for (std::size_t p = 0; p < paddedWidth; ++p) {
                const msl::float4 texel =
                    texels[std::clamp<std::size_t>(p, kRadius, kRadius + width - 1) - kRadius];
                red[start + p] = texel.x;
                green[start + p] = texel.y;
                blue[start + p] = texel.z;
                alpha[start + p] = texel.w;
                luminance[start + p] = msl::dot(texel.xyz(), kRec709Luma);
            }
        }
    }

    // Offset of input row `y` (already clamped to the input) in the planes.
    std::size_t rowStart(int y) const {
        return static_cast<std::size_t>(y - firstRow) * paddedWidth;
    }
};

// Running sums of one output row: the weighted chroma per channel and the total weight.
struct RowSums {
    std::vector<float> red, green, blue, total;

    void reset(std::size_t width) {
        for (std::vector<float>* sum : {&red, &green, &blue, &total}) sum->assign(width, 0.0f);
    }
};

// Adds one window tap to the sums of `width` output texels: the neighbours' planes and the
// centres' luminance start at output texel 0. The pointers are parameters so that their
// __restrict holds and the loop vectorises without run-time overlap checks.
//
// The larger magnitude is picked with a comparison rather than msl::max (fmaxf has no vector
// instruction); the two differ only when a luminance is NaN, and then the difference quotient
// below is NaN either way. An AVX2 clone runs where the processor has it; every operation is a
// single IEEE operation without contraction, so both clones give the same bits.
__attribute__((target_clones("avx2", "default"))) void addTap(
    const float* __restrict red, const float* __restrict green, const float* __restrict blue,
    const float* __restrict neighbourLuminance, const float* __restrict centreLuminance,
    float spatialExponent, std::size_t width, float* __restrict sumRed, float* __restrict sumGreen,
    float* __restrict sumBlue, float* __restrict total) {
    for (std::size_t x = 0; x < width; ++x) {
        const float y = centreLuminance[x];
        const float ny = neighbourLuminance[x];
        const float ay = std::fabs(y), any = std::fabs(ny);
        const float sigma = 0.005f + 0.35f * (ay < any ? any : ay);
        const float diff = (ny - y) / sigma;
        const float weight = msl::exp(spatialExponent - diff * diff * 0.5f);
        sumRed[x] += (red[x] - ny) * weight;
        sumGreen[x] += (green[x] - ny) * weight;
        sumBlue[x] += (blue[x] - ny) * weight;
        total[x] += weight;
    }
}

// Smooths result.size() texels of one output row whose 7 input rows start at `windowRows`.
void smoothRow(const InputRows& rows, const std::array<std::size_t, kWindow>& windowRows,
               RowSums& sums, std::vector<msl::float4>& result) {
    const std::size_t width = result.size();
    sums.reset(width);
    const std::size_t centre = windowRows[kRadius] + kRadius;
    for (std::size_t wy = 0; wy < kWindow; ++wy) {
        for (std::size_t wx = 0; wx < kWindow; ++wx) {
            // Plane column x + wx is input column x + wx − 3 of output texel x's window.
            const std::size_t start = windowRows[wy] + wx;
            addTap(&rows.red[start], &rows.green[start], &rows.blue[start], &rows.luminance[start],
                   &rows.luminance[centre], kSpatialExponent[wy * kWindow + wx], width,
                   sums.red.data(), sums.green.data(), sums.blue.data(), sums.total.data());
        }
    }
    for (std::size_t x = 0; x < width; ++x) {
        const float luminance = rows.luminance[centre + x];
        result[x] = {luminance + sums.red[x] / sums.total[x],
                     luminance + sums.green[x] / sums.total[x],
                     luminance + sums.blue[x] / sums.total[x], rows.alpha[centre + x]};
    }
}

void rawTextureChroma(const KernelArguments& arguments, RowRange rows) {
    const Texture& input = arguments.texture(RAWTextureChromaTexture::input);
    Texture& output = arguments.texture(RAWTextureChromaTexture::output);
    // Grid positions outside the output or the input do nothing.
    const int width = std::min({arguments.threadsPerGrid().width, output.width(), input.width()});
    const int rowEnd = std::min({rows.end, output.height(), input.height()});
    if (width <= 0 || rows.begin >= rowEnd) return;

    const int lastInputRow = input.height() - 1;
    auto clampRow = [&](int y) { return std::clamp(y, 0, lastInputRow); };

    // Rows are loaded a band at a time so that the scratch memory stays small whatever range
    // of rows this call was given.
    thread_local InputRows inputRows;
    thread_local RowSums sums;
    thread_local std::vector<msl::float4> result;
    result.resize(static_cast<std::size_t>(width));
    std::array<std::size_t, kWindow> windowRows;
    for (int bandStart = rows.begin; bandStart < rowEnd; bandStart += kBandRows) {
        const int bandEnd = std::min(bandStart + kBandRows, rowEnd);
        inputRows.load(input, clampRow(bandStart - kRadius), clampRow(bandEnd - 1 + kRadius));
        for (int y = bandStart; y < bandEnd; ++y) {
            for (int dy = -kRadius; dy <= kRadius; ++dy) {
                windowRows[static_cast<std::size_t>(dy + kRadius)] =
                    inputRows.rowStart(clampRow(y + dy));
            }
            smoothRow(inputRows, windowRows, sums, result);
            output.writeRow(0, y, std::span<const msl::float4>(result.data(), result.size()));
        }
    }
}

}  // namespace

KernelLibrary makeRawTextureKernelLibrary() {
    KernelLibrary library;
    library.add("raw_texture_chroma", rawTextureChroma);
    return library;
}

}  // namespace quillmere
