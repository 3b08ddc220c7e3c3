#include "core/decode/raw_texture_kernel.h"

#include <stdexcept>

#include "core/compute/compute_pass.h"

namespace quillmere {
namespace {

constexpr const char* kPassLabel = "RAW texture: chroma only";

}  // namespace

RAWTextureKernel::RAWTextureKernel(const KernelLibrary& library)
    : pipeline(requirePipeline(library, "raw_texture_chroma")) {}

void RAWTextureKernel::encode(std::shared_ptr<Texture> input, std::shared_ptr<Texture> output,
                              CommandBuffer& commandBuffer) const {
    if (!input || !output || input == output || input->width() != output->width() ||
        input->height() != output->height()) {
        throw std::invalid_argument(
            "The chroma kernel writes a separate output of its input's size.");
    }
    ComputePass(commandBuffer, kPassLabel, pipeline)
        .texture(RAWTextureChromaTexture::input, input)
        .texture(RAWTextureChromaTexture::output, output)
        .dispatchThreads(*output);
}

}  // namespace quillmere
