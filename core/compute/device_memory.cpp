#include "core/compute/device_memory.h"

#include <sys/mman.h>

#include <cstdlib>

namespace quillmere {

DeviceMemory DeviceMemory::allocate(std::size_t size) {
    DeviceMemory memory;
    if (size == 0) return memory;
    memory.bytes_.reset(static_cast<std::byte*>(std::calloc(size, 1)));
    if (memory.bytes_) memory.size_ = size;
    return memory;
}

DeviceMemory DeviceMemory::adopt(std::byte* mapping, std::size_t size) {
    DeviceMemory memory;
    if (mapping == nullptr || size == 0) return memory;
    memory.bytes_ = std::unique_ptr<std::byte, Release>(mapping, Release{size});
    memory.size_ = size;
    return memory;
}

void DeviceMemory::Release::operator()(std::byte* bytes) const {
    if (mappedSize > 0) {
        munmap(bytes, mappedSize);
    } else {
        std::free(bytes);
    }
}

}  // namespace quillmere
