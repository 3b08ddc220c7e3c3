#include "core/compute/device.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <limits>

namespace quillmere {
namespace {

std::size_t physicalMemorySize() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return std::numeric_limits<std::size_t>::max();
    std::size_t bytes = 0;
    if (__builtin_mul_overflow(static_cast<std::size_t>(pages), static_cast<std::size_t>(pageSize),
                               &bytes)) {
        return std::numeric_limits<std::size_t>::max();
    }
    return bytes;
}

}  // namespace

Device::Device() : Device(physicalMemorySize()) {}

Device::Device(std::size_t maxAllocationSize)
    : maxAllocationSize_(maxAllocationSize) {}

Device Device::withThreadCount(int threadCount) {
    Device device;
    device.threadCount_ = std::max(threadCount, 0);
    return device;
}

std::shared_ptr<Texture> Device::makeTexture(const TextureDescriptor& descriptor) const {
    if (descriptor.width < 1 || descriptor.height < 1) return nullptr;
    std::uint64_t bytes = 0;
    if (__builtin_mul_overflow(static_cast<std::uint64_t>(descriptor.width),
                               static_cast<std::uint64_t>(descriptor.height), &bytes) ||
        __builtin_mul_overflow(
            bytes, static_cast<std::uint64_t>(bytesPerPixel(descriptor.pixelFormat)), &bytes) ||
        bytes > maxAllocationSize_) {
        return nullptr;
    }
    DeviceMemory memory = DeviceMemory::allocate(static_cast<std::size_t>(bytes));
    if (!memory) return nullptr;
    return std::make_shared<Texture>(descriptor, std::move(memory));
}

std::shared_ptr<Buffer> Device::makeBuffer(std::size_t length, StorageMode storageMode) const {
    if (length == 0 || length > maxAllocationSize_) return nullptr;
    DeviceMemory memory = DeviceMemory::allocate(length);
    if (!memory) return nullptr;
    return std::make_shared<Buffer>(std::move(memory), storageMode);
}

std::shared_ptr<Buffer> Device::makeBuffer(const void* bytes, std::size_t length,
                                           StorageMode storageMode) const {
    std::shared_ptr<Buffer> buffer = makeBuffer(length, storageMode);
    if (buffer) std::memcpy(buffer->contents(), bytes, length);
    return buffer;
}

std::shared_ptr<CommandQueue> Device::makeCommandQueue() const {
    return std::make_shared<CommandQueue>(threadCount_);
}

}  // namespace quillmere
