#include "core/render/develop/sharpening_kernel.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <stdexcept>

#include "core/compute/kernel_errors.h"

namespace quillmere {
namespace {

constexpr const char* kScalesLabel = "Detail: luminance scales";
constexpr const char* kApplyLabel = "Detail: masked sharpening";

std::shared_ptr<const ComputePipelineState> pipeline(const KernelLibrary& library,
                                                     const char* name) {
    std::shared_ptr<const ComputePipelineState> made = library.makePipeline(name);
    if (!made) throw KernelError::functionNotFound(name);
    return made;
}

// One pass over the texture `textures` binds last: the uniforms always, the weights for the
// separable passes.
void encodePass(CommandBuffer& commandBuffer, const char* label,
                const std::shared_ptr<const ComputePipelineState>& pipeline,
                std::initializer_list<std::shared_ptr<Texture>> textures,
                const SharpeningKernel::Parameters& parameters, bool bindsWeights) {
    const std::unique_ptr<ComputeCommandEncoder> encoder =
        commandBuffer.makeComputeCommandEncoder();
    if (!encoder) throw KernelError::encoderCreationFailed();
    encoder->setLabel(label);
    encoder->setComputePipelineState(pipeline);
    int index = 0;
    for (const std::shared_ptr<Texture>& texture : textures) encoder->setTexture(texture, index++);
    encoder->setBytes(&parameters.uniforms, sizeof parameters.uniforms, 0);
    if (bindsWeights) encoder->setBytes(&parameters.weights, sizeof parameters.weights, 1);
    const Texture& written = **(textures.begin() + 1);
    const int executionWidth = pipeline->threadExecutionWidth();
    const GridSize threadgroup{
        executionWidth, std::min(pipeline->maxTotalThreadsPerThreadgroup() / executionWidth, 8)};
    encoder->dispatchThreads({written.width(), written.height()}, threadgroup);
    encoder->endEncoding();
}

}  // namespace

SharpeningKernel::SharpeningKernel(std::shared_ptr<const Device> device,
                                   const KernelLibrary& library)
    : device(std::move(device)),
      horizontal(pipeline(library, "sharpen_horizontal")),
      vertical(pipeline(library, "sharpen_vertical")),
      apply(pipeline(library, "sharpen_apply")),
      scaleTextures(this->device) {
    if (!this->device) throw std::invalid_argument("Sharpening needs a device.");
}

SharpeningKernel::Parameters SharpeningKernel::parameters(const SharpeningSettings& settings,
                                                          double sourcePixelScale) {
    const SharpeningSettings s = settings.sanitized();
    double radius = s.radius;
    if (std::isfinite(sourcePixelScale)) radius *= std::clamp(sourcePixelScale, 0.01, 1.0);
    const double fineSigma = std::max(0.55 * radius, 0.25);
    const double coarseSigma = std::max(radius, 0.25);
    // The coarse sigma is at most 3, so three sigmas never reach past the table.
    const int support =
        std::clamp(static_cast<int>(std::ceil(3.0 * coarseSigma)), 1, kSharpenMaxSupport);

    Parameters parameters;
    parameters.uniforms = {.amount = static_cast<float>(s.amount / 50),
                           .detail = static_cast<float>(s.detail / 100),
                           .masking = static_cast<float>(s.masking / 100),
                           .support = support};
    msl::float2 sum{};
    for (int k = -kSharpenMaxSupport; k <= kSharpenMaxSupport; ++k) {
        msl::float2& tap = parameters.weights.taps[k + kSharpenMaxSupport];
        if (std::abs(k) <= support) {
            const double squared = static_cast<double>(k * k);
            tap = {static_cast<float>(std::exp(-squared / (2 * fineSigma * fineSigma))),
                   static_cast<float>(std::exp(-squared / (2 * coarseSigma * coarseSigma)))};
        }
        sum += tap;
    }
    for (msl::float2& tap : parameters.weights.taps) tap /= sum;
    return parameters;
}

void SharpeningKernel::encode(std::shared_ptr<Texture> input, std::shared_ptr<Texture> output,
                              const SharpeningSettings& settings, double sourcePixelScale,
                              CommandBuffer& commandBuffer) const {
    if (!input || !output || input == output || input->width() != output->width() ||
        input->height() != output->height()) {
        throw std::invalid_argument("Sharpening writes a separate output of its input's size.");
    }
    const Parameters parameters = SharpeningKernel::parameters(settings, sourcePixelScale);
    const TextureDescriptor scalesDescriptor{
        .pixelFormat = PixelFormat::rg16Float,
        .width = input->width(),
        .height = input->height(),
        .usage = TextureUsage::shaderRead | TextureUsage::shaderWrite,
        .storageMode = StorageMode::devicePrivate};
    std::shared_ptr<Texture> rowScales = scaleTextures.texture(scalesDescriptor);
    std::shared_ptr<Texture> scales = scaleTextures.texture(scalesDescriptor);
    if (!rowScales || !scales) throw BufferError::allocationFailed();

    encodePass(commandBuffer, kScalesLabel, horizontal, {input, rowScales}, parameters, true);
    encodePass(commandBuffer, kScalesLabel, vertical, {rowScales, scales}, parameters, true);
    encodePass(commandBuffer, kApplyLabel, apply, {input, output, scales}, parameters, false);
}

}  // namespace quillmere
