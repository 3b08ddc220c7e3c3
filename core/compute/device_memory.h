#pragma once

#include <cstddef>
#include <memory>

namespace quillmere {

// A zero-filled block of memory behind one texture or buffer. Large blocks come straight from
// the system as fresh zero pages, so clearing them costs nothing; a kernel that forgets a texel
// reads zero instead of another image's leftovers.
class DeviceMemory {
  public:
    // An empty block (no memory) when the system cannot provide `size` bytes or `size` is 0.
    static DeviceMemory allocate(std::size_t size);

    std::byte* data() const { return bytes_.get(); }
    std::size_t size() const { return size_; }
    explicit operator bool() const { return bytes_ != nullptr; }

  private:
    struct Release {
        void operator()(std::byte* bytes) const;
    };
    std::unique_ptr<std::byte, Release> bytes_;
    std::size_t size_ = 0;
};

}  // namespace quillmere
