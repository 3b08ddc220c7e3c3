#pragma once

#include <cstddef>
#include <memory>

#include "core/compute/buffer.h"
#include "core/compute/command_buffer.h"
#include "core/compute/texture.h"

namespace quillmere {

// The compute device: the CPU standing in for a GPU. It makes textures, buffers and command
// queues; kernels come from KernelLibrary. Every texture and buffer is new memory, never one
// handed out before.
//
// Allocation fails (nullptr, never an exception) for a zero or negative size, a size whose byte
// count overflows 64 bits, a block larger than maxAllocationSize(), or when the system has no
// memory left.
//
// The passes of its command buffers run on every core unless the device is made with a thread
// count, which the benchmarks use to time the develop as a machine with fewer cores runs it.
class Device {
  public:
    // The default limit is the machine's physical memory.
    Device();
    explicit Device(std::size_t maxAllocationSize);
    // At most `threadCount` threads run the passes of each command buffer (0: every core).
    static Device withThreadCount(int threadCount);

    // 0 when passes run on every core.
    int threadCount() const { return threadCount_; }

    std::shared_ptr<Texture> makeTexture(const TextureDescriptor& descriptor) const;
    // A zero-filled buffer of `length` bytes.
    std::shared_ptr<Buffer> makeBuffer(std::size_t length,
                                       StorageMode storageMode = StorageMode::shared) const;
    // A buffer holding a copy of `length` bytes.
    std::shared_ptr<Buffer> makeBuffer(const void* bytes, std::size_t length,
                                       StorageMode storageMode = StorageMode::shared) const;
    std::shared_ptr<CommandQueue> makeCommandQueue() const;

  private:
    std::size_t maxAllocationSize_;
    int threadCount_ = 0;
};

}  // namespace quillmere
