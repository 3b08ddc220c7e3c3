#pragma once

#include <memory>

#include "core/compute/buffer.h"
#include "core/compute/command_buffer.h"
#include "core/compute/device.h"
#include "core/compute/kernel_library.h"
#include "core/compute/texture_recycler.h"
#include "core/edit/edit_params.h"
#include "core/render/develop/curve_table_cache.h"
#include "core/render/develop/sharpening_kernel.h"
#include "core/render/develop/sharpening_shader.h"
#include "core/render/develop/tone_shader.h"

namespace quillmere {

// The host half of the develop pass: turns one edit into the develop kernels' parameters and
// encodes, on a command buffer its caller commits, the recovery passes the edit needs, the tone
// pass and, when sharpening is on, the sharpening passes. The render engine builds one and keeps
// it; the preview and export jobs call encode once per render.
class ToneKernel {
  public:
    // Builds the sharpening kernel first, then the pipelines of "tone_kernel_main",
    // "recovery_prepare" with "recovery_bilateral", and "recovery_meter", and the placeholder
    // curve table. Throws KernelError::functionNotFound naming the first missing function
    // ("recovery_prepare / recovery_bilateral" when either of the pair is missing) and
    // BufferError::allocationFailed when the placeholder cannot be made.
    explicit ToneKernel(std::shared_ptr<const Device> device,
                        const KernelLibrary& toneLibrary = makeToneKernelLibrary(),
                        const KernelLibrary& sharpeningLibrary = makeSharpeningKernelLibrary());

    // Encodes the develop of `input` (linear RGB, alpha carried through) into `output` (another
    // texture of the same size) with `params`, in this order:
    //   "Recovery: scene-linear luminance", "Recovery: scene white point" (highlights below 0
    //   only), "Recovery: edge-aware base" — only when highlights are below 0 or shadows above 0;
    //   "ToneKernel";
    //   the sharpening passes — only when the sanitised amount is above 0 and no point colour or
    //   mixer band is visualised; the tone pass then writes an intermediate texture.
    // `denoisedInput` is the fully denoised input (same size), given only when denoise is above
    // 0; `sourcePixelScale` is the input's width over the photo's full width (it scales the
    // sharpening radius). Only encodes; never commits or waits. Safe to call from several threads
    // with separate command buffers.
    //
    // Throws std::invalid_argument for textures that are missing, of different sizes or the same;
    // BufferError::allocationFailed when an intermediate texture cannot be made or the white-point
    // pass gets no encoder; KernelError::encoderCreationFailed when another pass gets no encoder.
    // Passes encoded before a failure stay on the buffer. A curve table that cannot be made is no
    // error: the curve is then not applied.
    void encode(std::shared_ptr<Texture> input, std::shared_ptr<Texture> output,
                const EditParams& params, double asShotTemperature, double asShotTint,
                std::shared_ptr<Texture> denoisedInput, bool isRAW, double sourcePixelScale,
                CommandBuffer& commandBuffer) const;

  private:
    std::shared_ptr<const Device> device;
    SharpeningKernel sharpening;
    std::shared_ptr<const ComputePipelineState> pipeline;
    std::shared_ptr<const ComputePipelineState> recoveryPrepare;
    std::shared_ptr<const ComputePipelineState> recoveryBilateral;
    std::shared_ptr<const ComputePipelineState> recoveryMeter;
    // Bound in place of the curve table when no curve applies: four zeros.
    std::shared_ptr<Buffer> dummyLUTBuffer;
    // Synchronised on their own; mutable because cached tables and textures change nothing a
    // caller sees.
    mutable CurveTableCache curveTables;
    mutable TextureRecycler workTextures;
};

}  // namespace quillmere
