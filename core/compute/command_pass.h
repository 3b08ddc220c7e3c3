#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/compute/buffer.h"
#include "core/compute/texture.h"

namespace quillmere {

class ComputePipelineState;

inline constexpr int kMaxTextureBindings = 31;
inline constexpr int kMaxBufferBindings = 31;

// A two-dimensional count of threads or threadgroups.
struct GridSize {
    int width = 1;
    int height = 1;
    friend bool operator==(const GridSize&, const GridSize&) = default;
};

// What one buffer slot of a dispatch holds: a device buffer read from an offset, or bytes the
// encoder copied when they were set (so the caller's record may change afterwards).
struct BufferBinding {
    std::shared_ptr<Buffer> buffer;
    std::size_t offset = 0;
    std::vector<std::byte> inlineBytes;

    bool isBound() const { return buffer != nullptr || !inlineBytes.empty(); }
    std::span<const std::byte> bytes() const {
        if (buffer)
            return std::span<const std::byte>(buffer->contents(), buffer->length()).subspan(offset);
        return inlineBytes;
    }
};

// One grid dispatch with the bindings that were current when it was encoded.
struct ComputeDispatch {
    std::shared_ptr<const ComputePipelineState> pipeline;
    std::array<std::shared_ptr<Texture>, kMaxTextureBindings> textures;
    std::array<BufferBinding, kMaxBufferBindings> buffers;
    GridSize threadsPerGrid;
    GridSize threadsPerThreadgroup;
};

// One texture-to-texture copy of a blit pass.
struct BlitCopy {
    std::shared_ptr<Texture> source;
    Region sourceRegion;
    std::shared_ptr<Texture> destination;
    int destinationX = 0;
    int destinationY = 0;
};

// A pass as recorded on a command buffer, with its debug label. The recorded passes can be read
// back (CommandBuffer::passes), which is how tests check what an encode step put on a buffer.
struct CommandPass {
    enum class Kind { compute, blit };

    Kind kind = Kind::compute;
    std::string label;
    std::vector<ComputeDispatch> dispatches;  // compute passes
    std::vector<BlitCopy> copies;             // blit passes
};

}  // namespace quillmere
