#pragma once

#include <array>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string>

#include "rawbridge/qx_raw.h"

namespace quillmere {

// A buffer the LibRaw bridge handed out, released with qx_raw_free on every way out.
struct BridgeFree {
    void operator()(void* pointer) const { qx_raw_free(pointer); }
};
template <typename T>
using BridgeBuffer = std::unique_ptr<T, BridgeFree>;

// The zero-filled message buffer every bridge call receives.
class BridgeErrorBuffer {
  public:
    char* data() { return bytes_.data(); }
    std::size_t size() const { return bytes_.size(); }

    // The bridge's sentence up to its first zero byte; `fallback` when it wrote none (a call that
    // reported success but handed back nothing usable), so an error never reaches the user empty.
    std::string message(const char* fallback) const {
        const std::string text(bytes_.data(), strnlen(bytes_.data(), bytes_.size()));
        return text.empty() ? std::string(fallback) : text;
    }

  private:
    std::array<char, 1024> bytes_{};
};

}  // namespace quillmere
