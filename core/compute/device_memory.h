#pragma once

#include <cstddef>
#include <memory>

namespace quillmere {

// A block of memory behind one texture or buffer: allocated zero-filled, or adopted from a
// mapping. Large allocated blocks come straight from the system as fresh zero pages, so clearing
// them costs nothing; a kernel that forgets a texel reads zero instead of another image's
// leftovers.
class DeviceMemory {
  public:
    // An empty block (no memory) when the system cannot provide `size` bytes or `size` is 0.
    static DeviceMemory allocate(std::size_t size);
    // Takes over `size` bytes mapped at `mapping` (mmap), unmapped when the block goes: a
    // reader's pixels in a sealed memory file (SealedFile::release), used without a copy.
    static DeviceMemory adopt(std::byte* mapping, std::size_t size);

    std::byte* data() const { return bytes_.get(); }
    std::size_t size() const { return size_; }
    explicit operator bool() const { return bytes_ != nullptr; }

  private:
    struct Release {
        // The size of an adopted mapping; 0 for allocated memory (a default deleter is
        // value-initialised).
        std::size_t mappedSize;
        void operator()(std::byte* bytes) const;
    };
    std::unique_ptr<std::byte, Release> bytes_;
    std::size_t size_ = 0;
};

}  // namespace quillmere
