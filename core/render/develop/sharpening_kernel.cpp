#include "core/render/develop/sharpening_kernel.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

#include "core/compute/compute_pass.h"
#include "core/compute/kernel_errors.h"

namespace quillmere {
namespace {

constexpr const char* kScalesLabel = "Detail: luminance scales";
constexpr const char* kApplyLabel = "Detail: masked sharpening";

}  // namespace

SharpeningKernel::SharpeningKernel(std::shared_ptr<const Device> device,
                                   const KernelLibrary& library)
    : device(std::move(device)),
      horizontal(requirePipeline(library, "sharpen_horizontal")),
      vertical(requirePipeline(library, "sharpen_vertical")),
      apply(requirePipeline(library, "sharpen_apply")),
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

    ComputePass(commandBuffer, kScalesLabel, horizontal)
        .texture(SharpenScalesTexture::source, input)
        .texture(SharpenScalesTexture::scales, rowScales)
        .value(SharpenBuffer::uniforms, parameters.uniforms)
        .value(SharpenBuffer::weights, parameters.weights)
        .dispatchThreads(*rowScales);
    ComputePass(commandBuffer, kScalesLabel, vertical)
        .texture(SharpenScalesTexture::source, rowScales)
        .texture(SharpenScalesTexture::scales, scales)
        .value(SharpenBuffer::uniforms, parameters.uniforms)
        .value(SharpenBuffer::weights, parameters.weights)
        .dispatchThreads(*scales);
    ComputePass(commandBuffer, kApplyLabel, apply)
        .texture(SharpenApplyTexture::image, input)
        .texture(SharpenApplyTexture::output, output)
        .texture(SharpenApplyTexture::scales, scales)
        .value(SharpenBuffer::uniforms, parameters.uniforms)
        .dispatchThreads(*output);
}

}  // namespace quillmere
