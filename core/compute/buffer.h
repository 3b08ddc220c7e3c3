#pragma once

#include <cstddef>

#include "core/compute/device_memory.h"
#include "core/compute/pixel_format.h"

namespace quillmere {

// A block of bytes on the compute device (tables, parameter records), made by
// Device::makeBuffer and handed out as a std::shared_ptr. Its memory starts zeroed and is
// suitably aligned for any scalar type.
class Buffer {
  public:
    Buffer(DeviceMemory memory, StorageMode storageMode);

    std::size_t length() const { return memory_.size(); }
    std::byte* contents() { return memory_.data(); }
    StorageMode storageMode() const { return storageMode_; }

  private:
    DeviceMemory memory_;
    StorageMode storageMode_;
};

}  // namespace quillmere
