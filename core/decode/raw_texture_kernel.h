#pragma once

#include <memory>

#include "core/compute/command_buffer.h"
#include "core/compute/kernel_library.h"
#include "core/decode/raw_texture_shader.h"

namespace quillmere {

// Chroma-only smoothing of an undenoised RAW decode (the RAW-texture path): colour noise goes,
// luminance grain stays. The RAW loader makes one lazily and keeps it.
class RAWTextureKernel {
  public:
    // Builds the pipeline of "raw_texture_chroma" from `library` (the RAW-texture kernels unless
    // told otherwise); throws KernelError::functionNotFound when the library lacks it. Pipelines
    // of the CPU device belong to no particular device, so none is asked for.
    explicit RAWTextureKernel(const KernelLibrary& library = makeRawTextureKernelLibrary());

    // Encodes one pass labelled "RAW texture: chroma only" from `input` into `output` (another
    // texture of the input's size; throws std::invalid_argument otherwise). The caller commits
    // and waits.
    // Throws KernelError::encoderCreationFailed when the buffer gives no compute encoder.
    void encode(std::shared_ptr<Texture> input, std::shared_ptr<Texture> output,
                CommandBuffer& commandBuffer) const;

  private:
    std::shared_ptr<const ComputePipelineState> pipeline;
};

}  // namespace quillmere
