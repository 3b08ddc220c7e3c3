#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "core/compute/command_pass.h"
#include "core/compute/kernel_library.h"

namespace quillmere {

class CommandBuffer;

// Records one compute pass on a command buffer: a label, a pipeline, bindings and dispatches.
// Every dispatch keeps the bindings current when it was encoded. endEncoding() adds the pass to
// the buffer; an encoder destroyed without endEncoding() adds nothing. Encoding mistakes (a
// slot that does not exist, a dispatch without a pipeline, a negative grid) throw
// std::invalid_argument or std::logic_error at once. An encoder must not outlive its buffer.
class ComputeCommandEncoder {
  public:
    explicit ComputeCommandEncoder(CommandBuffer& commandBuffer);
    ~ComputeCommandEncoder();
    ComputeCommandEncoder(const ComputeCommandEncoder&) = delete;
    ComputeCommandEncoder& operator=(const ComputeCommandEncoder&) = delete;

    void setLabel(std::string label) { pass_.label = std::move(label); }
    void setComputePipelineState(std::shared_ptr<const ComputePipelineState> pipeline);
    void setTexture(std::shared_ptr<Texture> texture, int index);
    void setBuffer(std::shared_ptr<Buffer> buffer, std::size_t offset, int index);
    // Copies `length` bytes now.
    void setBytes(const void* bytes, std::size_t length, int index);

    // A grid of exactly `threadsPerGrid` threads.
    void dispatchThreads(GridSize threadsPerGrid, GridSize threadsPerThreadgroup);
    // Whole threadgroups: the grid is their count times their size.
    void dispatchThreadgroups(GridSize threadgroupsPerGrid, GridSize threadsPerThreadgroup);

    void endEncoding();

  private:
    CommandBuffer* commandBuffer_;
    CommandPass pass_;
    ComputeDispatch bindings_;
};

// Records one blit pass: texture-to-texture copies of texels as stored (no conversion).
class BlitCommandEncoder {
  public:
    explicit BlitCommandEncoder(CommandBuffer& commandBuffer);
    ~BlitCommandEncoder();
    BlitCommandEncoder(const BlitCommandEncoder&) = delete;
    BlitCommandEncoder& operator=(const BlitCommandEncoder&) = delete;

    // Copies `sourceRegion` of `source` to `destination` with its corner at (destinationX,
    // destinationY). Throws std::invalid_argument unless both textures have the same pixel
    // format and both rectangles lie inside their textures.
    void copy(std::shared_ptr<Texture> source, const Region& sourceRegion,
              std::shared_ptr<Texture> destination, int destinationX, int destinationY);

    void endEncoding();

  private:
    CommandBuffer* commandBuffer_;
    CommandPass pass_;
};

}  // namespace quillmere
