#include "core/compute/buffer.h"

#include <stdexcept>

namespace quillmere {

Buffer::Buffer(DeviceMemory memory, StorageMode storageMode)
    : memory_(std::move(memory)), storageMode_(storageMode) {
    if (!memory_) throw std::invalid_argument("A buffer needs memory.");
}

}  // namespace quillmere
