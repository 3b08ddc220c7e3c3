#include "core/render/develop/recovery_kernels.h"

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

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

    // The guide is small, so the device hands out few row ranges; each is split again so that
    // every core takes part.
    tbb::parallel_for(tbb::blocked_range<int>(rows.begin, rowEnd, 4), [&](const auto& band) {
        for (int y = band.begin(); y < band.end(); ++y) {
            const std::span<float> guideRow = guide.floatRow(y);
            for (int x = 0; x < width; ++x) {
                msl::float3 sum{};
                for (int sy = 0; sy < n; ++sy) {
                    for (int sx = 0; sx < n; ++sx) {
                        const msl::float2 uv{
                            (static_cast<float>(x) + (static_cast<float>(sx) + 0.5f) / n) /
                                guideWidth,
                            (static_cast<float>(y) + (static_cast<float>(sy) + 0.5f) / n) /
                                guideHeight};
                        const msl::float3 o = sampleNormalized(input, uv).xyz();
                        const msl::float3 c =
                            scene.denoiseAmount > 0.0f ? sampleNormalized(clean, uv).xyz() : o;
                        sum += sceneRGB(o, c, scene);
                    }
                }
                guideRow[static_cast<std::size_t>(x)] = sceneEV(sum / samples, scale);
            }
        }
    });
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
