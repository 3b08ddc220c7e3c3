#include "core/decode/raw_texture_kernel.h"

#include <algorithm>
#include <stdexcept>

#include "core/compute/kernel_errors.h"

namespace quillmere {
namespace {

constexpr const char* kFunctionName = "raw_texture_chroma";

}  // namespace

RAWTextureKernel::RAWTextureKernel(const KernelLibrary& library)
    : pipeline(library.makePipeline(kFunctionName)) {
    if (!pipeline) throw KernelError::functionNotFound(kFunctionName);
}

void RAWTextureKernel::encode(std::shared_ptr<Texture> input, std::shared_ptr<Texture> output,
                              CommandBuffer& commandBuffer) const {
    if (!input || !output || input == output || input->width() != output->width() ||
        input->height() != output->height()) {
        throw std::invalid_argument(
            "The chroma kernel writes a separate output of its input's size.");
    }
    const std::unique_ptr<ComputeCommandEncoder> encoder =
        commandBuffer.makeComputeCommandEncoder();
    if (!encoder) throw KernelError::encoderCreationFailed();
    encoder->setLabel("RAW texture: chroma only");
    encoder->setComputePipelineState(pipeline);
    const int executionWidth = pipeline->threadExecutionWidth();
    const GridSize threadgroup{
        executionWidth, std::min(pipeline->maxTotalThreadsPerThreadgroup() / executionWidth, 8)};
    const GridSize grid{output->width(), output->height()};
    encoder->setTexture(std::move(input), 0);
    encoder->setTexture(std::move(output), 1);
    encoder->dispatchThreads(grid, threadgroup);
    encoder->endEncoding();
}

}  // namespace quillmere
