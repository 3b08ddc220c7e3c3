#pragma once

#include <memory>

#include "core/compute/command_buffer.h"
#include "core/compute/device.h"
#include "core/compute/kernel_library.h"
#include "core/compute/texture_recycler.h"
#include "core/edit/sharpening_settings.h"
#include "core/render/develop/sharpening_shader.h"
#include "core/render/develop/sharpening_uniforms.h"

namespace quillmere {

// The Detail panel's sharpening of a display-encoded image: luminance only, as the difference of
// a fine and a coarse Gaussian measured in two separable passes, with one equal offset added to
// the three channels of each pixel (no coloured fringes, no channel clipping, overshoot bounded
// by local contrast). ToneKernel owns one and decides whether it runs.
class SharpeningKernel {
  public:
    // What the passes receive for one setting.
    struct Parameters {
        SharpenUniforms uniforms;
        SharpenWeights weights;
    };

    // Builds the pipelines of "sharpen_horizontal", "sharpen_vertical" and "sharpen_apply", in
    // that order, from `library`; throws KernelError::functionNotFound for the first one missing.
    // The device makes the per-call scale textures.
    explicit SharpeningKernel(std::shared_ptr<const Device> device,
                              const KernelLibrary& library = makeSharpeningKernelLibrary());

    // The uniforms and Gaussian weights for `settings` (sanitised here). `sourcePixelScale` is
    // the rendered width over the photo's full width: a smaller render sharpens with a
    // proportionally smaller radius. It counts within 0.01...1; a non-finite scale counts as 1.
    static Parameters parameters(const SharpeningSettings& settings, double sourcePixelScale);

    // Encodes the three passes from `input` into `output`: "Detail: luminance scales" twice
    // (horizontal, then vertical, each into a new RG16Float scale texture of the input's size)
    // and "Detail: masked sharpening". `output` must be another texture of the input's size
    // (throws std::invalid_argument otherwise). Only encodes; the caller commits.
    // Throws BufferError::allocationFailed when a scale texture cannot be made and
    // KernelError::encoderCreationFailed when the buffer gives no compute encoder; passes encoded
    // before the failure stay on the buffer.
    void encode(std::shared_ptr<Texture> input, std::shared_ptr<Texture> output,
                const SharpeningSettings& settings, double sourcePixelScale,
                CommandBuffer& commandBuffer) const;

  private:
    std::shared_ptr<const Device> device;
    std::shared_ptr<const ComputePipelineState> horizontal;
    std::shared_ptr<const ComputePipelineState> vertical;
    std::shared_ptr<const ComputePipelineState> apply;
    // The luminance scales of earlier renders, for the passes that rewrite them; synchronised on
    // its own.
    mutable TextureRecycler scaleTextures;
};

}  // namespace quillmere
