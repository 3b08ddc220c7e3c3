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

// The input rows one call needs, converted to floats once, with their luminance, and padded by
// the window radius on both sides with copies of the edge texels so that the inner loop never
// clamps columns.
struct InputRows {
    int firstRow = 0;
    std::size_t paddedWidth = 0;
    std::vector<msl::float4> texels;
    std::vector<float> luminance;

    void load(const Texture& input, int first, int last) {
        firstRow = first;
        const auto width = static_cast<std::size_t>(input.width());
        paddedWidth = width + 2 * kRadius;
        const std::size_t rows = static_cast<std::size_t>(last - first + 1);
        texels.resize(rows * paddedWidth);
        luminance.resize(rows * paddedWidth);
        for (std::size_t r = 0; r < rows; ++r) {
            msl::float4* row = &texels[r * paddedWidth];
            input.readRow(0, first + static_cast<int>(r), std::span(row + kRadius, width));
            std::fill(row, row + kRadius, row[kRadius]);
            std::fill(row + kRadius + width, row + paddedWidth, row[kRadius + width - 1]);
            float* rowLuminance = &luminance[r * paddedWidth];
            for (std::size_t x = 0; x < paddedWidth; ++x) {
                rowLuminance[x] = msl::dot(row[x].xyz(), kRec709Luma);
            }
        }
    }

    // Offsets of input row `y` (already clamped to the input) in the padded arrays.
    std::size_t rowStart(int y) const {
        return static_cast<std::size_t>(y - firstRow) * paddedWidth;
    }
};

// Smooths result.size() texels of one output row whose 7 input rows start at `windowRows` in
// `inputRows`.
void smoothRow(const InputRows& inputRows, const std::array<std::size_t, kWindow>& windowRows,
               std::vector<msl::float4>& result) {
    const std::size_t centreRow = windowRows[kRadius];
    for (std::size_t x = 0; x < result.size(); ++x) {
        // In the padded rows, column x is the window's left edge (input column x − 3) and
        // x + 3 the centre.
        const msl::float4 centre = inputRows.texels[centreRow + x + kRadius];
        const float luminance = inputRows.luminance[centreRow + x + kRadius];

        msl::float3 chroma;
        float total = 0.0f;
        for (std::size_t wy = 0; wy < kWindow; ++wy) {
            const msl::float4* texels = &inputRows.texels[windowRows[wy] + x];
            const float* neighbourLuminance = &inputRows.luminance[windowRows[wy] + x];
            for (std::size_t wx = 0; wx < kWindow; ++wx) {
                const float ny = neighbourLuminance[wx];
                const float sigma = 0.005f + 0.35f * msl::max(std::fabs(luminance), std::fabs(ny));
                const float diff = (ny - luminance) / sigma;
                const float weight =
                    std::exp(kSpatialExponent[wy * kWindow + wx] - diff * diff * 0.5f);
                chroma += (texels[wx].xyz() - ny) * weight;
                total += weight;
            }
        }
        result[x] = {luminance + chroma / total, centre.w};
    }
}

void rawTextureChroma(const KernelArguments& arguments, RowRange rows) {
    const Texture& input = arguments.texture(0);
    Texture& output = arguments.texture(1);
    // Grid positions outside the output or the input do nothing.
    const int width = std::min({arguments.threadsPerGrid().width, output.width(), input.width()});
    const int rowEnd = std::min({rows.end, output.height(), input.height()});
    if (width <= 0 || rows.begin >= rowEnd) return;

    const int lastInputRow = input.height() - 1;
    auto clampRow = [&](int y) { return std::clamp(y, 0, lastInputRow); };

    // Rows are loaded a band at a time so that the scratch memory stays small whatever range
    // of rows this call was given.
    thread_local InputRows inputRows;
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
            smoothRow(inputRows, windowRows, result);
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
