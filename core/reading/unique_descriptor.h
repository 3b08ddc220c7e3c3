#pragma once

#include <unistd.h>

#include <utility>

namespace quillmere {

// A file descriptor and the duty to close it: closed when this goes or is given another, never
// copied, handed on by moving.
class UniqueDescriptor {
  public:
    UniqueDescriptor() = default;
    explicit UniqueDescriptor(int descriptor) : descriptor_(descriptor) {}
    ~UniqueDescriptor() { reset(); }

    UniqueDescriptor(UniqueDescriptor&& other) noexcept : descriptor_(other.release()) {}
    UniqueDescriptor& operator=(UniqueDescriptor&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueDescriptor(const UniqueDescriptor&) = delete;
    UniqueDescriptor& operator=(const UniqueDescriptor&) = delete;

    // -1 when it holds none.
    int get() const { return descriptor_; }
    explicit operator bool() const { return descriptor_ >= 0; }

    // Gives up the descriptor without closing it.
    int release() { return std::exchange(descriptor_, -1); }
    void reset(int descriptor = -1) {
        if (descriptor_ >= 0) close(descriptor_);
        descriptor_ = descriptor;
    }

  private:
    int descriptor_ = -1;
};

}  // namespace quillmere
