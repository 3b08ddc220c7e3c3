#include "core/render/develop/recovery_kernels.h"

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/compute/msl_math.h"
#include "core/compute/sampler.h"
#include "core/render/develop/recovery_bilateral.h"
#include "core/render/develop/recovery_functions.h"
#include "core/render/develop/tone_functions.h"
#include "core/render/develop/tone_shader.h"
#include "core/render/develop/tone_uniforms.h"

namespace quillmere {

GuideView guideView(const Texture& texture, const char* role) {
    if (texture.pixelFormat() != PixelFormat::r32Float) {
        throw std::logic_error(std::string("The recovery ") + role + " must be R32Float.");
    }
    // Rows of a texture are packed one after another, so row 0 starts the whole image.
    return {texture.floatRow(0).data(), texture.width(), texture.height()};
}

void recoveryPrepareKernel(const KernelArguments& arguments, RowRange rows) {
    const Texture& input = arguments.texture(RecoveryPrepareTexture::input);
    Texture& guide = arguments.texture(RecoveryPrepareTexture::guide);
    if (guide.pixelFormat() != PixelFormat::r32Float) {
        throw std::logic_error("The recovery guide must be R32Float.");
    }
    const int width = std::min(arguments.threadsPerGrid().width, guide.width());
    const int rowEnd = std::min(rows.end, guide.height());
    if (width <= 0 || rows.begin >= rowEnd) return;

    const auto u = arguments.value<ToneUniforms>(RecoveryPrepareBuffer::uniforms);
    const SceneTransform scene = SceneTransform::from(u);
    const Texture& clean =
        scene.denoiseAmount > 0.0f ? arguments.texture(RecoveryPrepareTexture::clean) : input;
    const float scale = contrastScale(u.contrast);
    const float guideWidth = static_cast<float>(guide.width());
    const float guideHeight = static_cast<float>(guide.height());
    // Area samples per axis: enough to cover the footprint of a guide texel, at most 4.
    const float footprint = msl::max(static_cast<float>(input.width()) / guideWidth,
                                     static_cast<float>(input.height()) / guideHeight);
    const int n = std::clamp(msl::saturatingConvert<int>(std::ceil(footprint)), 1, 4);
    const float samples = static_cast<float>(n * n);

    const bool denoises = scene.denoiseAmount > 0.0f;
    const auto rowLength = static_cast<std::size_t>(std::max(input.width(), clean.width()));
    // The horizontal taps of every sample column of a texture, the same for every guide row:
    // worked out once, at entry x · n + sx.
    const auto columnTaps = [&](const Texture& texture) {
        std::vector<AxisTaps> columns(static_cast<std::size_t>(width * n));
        for (int x = 0; x < width; ++x) {
            for (int sx = 0; sx < n; ++sx) {
                const float u =
                    (static_cast<float>(x) + (static_cast<float>(sx) + 0.5f) / n) / guideWidth;
                columns[static_cast<std::size_t>(x * n + sx)] =
                    taps(u * static_cast<float>(texture.width()), texture.width());
            }
        }
        return columns;
    };
    const std::vector<AxisTaps> inputColumns = columnTaps(input);
    const std::vector<AxisTaps> cleanColumns =
        denoises ? columnTaps(clean) : std::vector<AxisTaps>{};
    // The guide is small, so the device hands out few row ranges; each is split again so that
    // every core takes part.
    // Flattened, so that the sampling helpers are inlined into the loops over the samples.
    const auto prepareRows = [&](const tbb::blocked_range<int>& band) __attribute__((flatten)) {
        // The texture rows one guide row samples, read whole (bilinear sampling from them gives
        // what sampling the textures texel by texel gives): for each vertical sample, the two
        // rows of the input it lies between, then the two of the denoised input.
        thread_local std::vector<msl::float4> sampled;
        sampled.resize(static_cast<std::size_t>(4 * n) * rowLength);
        const auto sampledRow = [&](int sy, int row) {
            return sampled.data() + static_cast<std::size_t>(4 * sy + row) * rowLength;
        };
        const auto readRows = [&](const Texture& texture, float v, int sy, int firstRow) {
            const AxisTaps rows = taps(v * static_cast<float>(texture.height()), texture.height());
            const auto length = static_cast<std::size_t>(texture.width());
            texture.readRow(0, rows.first, {sampledRow(sy, firstRow), length});
            texture.readRow(0, rows.second, {sampledRow(sy, firstRow + 1), length});
            return rows.weight;
        };
        const auto sample = [&](const AxisTaps& columns, int sy, int firstRow, float rowWeight) {
            return sampleRows(sampledRow(sy, firstRow), sampledRow(sy, firstRow + 1), columns,
                              rowWeight)
                .xyz();
        };
        std::array<float, 4> inputWeight{}, cleanWeight{};
        for (int y = band.begin(); y < band.end(); ++y) {
            for (int sy = 0; sy < n; ++sy) {
                const float v =
                    (static_cast<float>(y) + (static_cast<float>(sy) + 0.5f) / n) / guideHeight;
                inputWeight[static_cast<std::size_t>(sy)] = readRows(input, v, sy, 0);
                if (denoises) cleanWeight[static_cast<std::size_t>(sy)] = readRows(clean, v, sy, 2);
            }
            const std::span<float> guideRow = guide.floatRow(y);
            for (int x = 0; x < width; ++x) {
                msl::float3 sum{};
                for (int sy = 0; sy < n; ++sy) {
                    for (int sx = 0; sx < n; ++sx) {
                        const auto column = static_cast<std::size_t>(x * n + sx);
                        const msl::float3 o = sample(inputColumns[column], sy, 0,
                                                     inputWeight[static_cast<std::size_t>(sy)]);
                        const msl::float3 c =
                            denoises ? sample(cleanColumns[column], sy, 2,
                                              cleanWeight[static_cast<std::size_t>(sy)])
                                     : o;
                        sum += sceneRGB(o, c, scene);
                    }
                }
                guideRow[static_cast<std::size_t>(x)] = sceneEV(sum / samples, scale);
            }
        }
    };
    tbb::parallel_for(tbb::blocked_range<int>(rows.begin, rowEnd, 4), prepareRows);
}

void recoveryBilateralKernel(const KernelArguments& arguments, RowRange rows) {
    const GuideView guide = guideView(arguments.texture(RecoveryBilateralTexture::guide), "guide");
    Texture& base = arguments.texture(RecoveryBilateralTexture::base);
    if (base.pixelFormat() != PixelFormat::r32Float) {
        throw std::logic_error("The recovery base must be R32Float.");
    }
    if (base.width() != guide.width || base.height() != guide.height) {
        throw std::logic_error("The recovery base must have the guide's size.");
    }
    // The rows the grid covers are filtered whole.
    const int rowEnd = std::min(rows.end, base.height());
    if (arguments.threadsPerGrid().width <= 0 || rows.begin >= rowEnd) return;
    // As in the guide pass, each row range is split again across the cores.
    float* baseTexels = base.floatRow(0).data();
    tbb::parallel_for(tbb::blocked_range<int>(rows.begin, rowEnd, 4),
                      [&](const tbb::blocked_range<int>& band) {
                          recoveryBilateralRows(guide, band.begin(), band.end(), baseTexels);
                      });
}

void recoveryMeterKernel(const KernelArguments& arguments, RowRange rows) {
    // One threadgroup on the GPU: the whole reduction belongs to the range holding row 0.
    if (rows.begin != 0 || rows.end <= 0) return;
    const GuideView guide = guideView(arguments.texture(RecoveryMeterTexture::guide), "guide");
    Texture& whitePoint = arguments.texture(RecoveryMeterTexture::whitePoint);
    if (whitePoint.pixelFormat() != PixelFormat::r32Float) {
        throw std::logic_error("The white point must be R32Float.");
    }
    whitePoint.floatRow(0)[0] = recoveryWhitePoint(guide);
}

}  // namespace quillmere
