#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "rawbridge/full_development.h"
#include "rawbridge/raw_check_protocol.h"

namespace quillmere::rawbridge {

// The developments the RAW checking helper hands its program with the verdict "read"
// (raw_check_protocol.h): each in a sealed memory file of its own, made as soon as LibRaw's
// development is, so that the development's own buffer is freed before the next one begins.
class DevelopmentHandBack {
  public:
    DevelopmentHandBack() = default;
    ~DevelopmentHandBack();
    DevelopmentHandBack(const DevelopmentHandBack&) = delete;
    DevelopmentHandBack& operator=(const DevelopmentHandBack&) = delete;

    // Copies `developed` into a new memory file (its header, then its pixels) and seals it. A
    // development that cannot be put there (the memory or the descriptors ran out) is left out:
    // the program then makes it itself.
    void add(raw_check::DevelopmentKind kind, const DevelopedImage& developed);

    // Writes `verdict` on `channel` with the memory files' descriptors. A channel that takes no
    // descriptors still gets the verdict alone: a development is never worth the verdict.
    void send(int channel, std::string_view verdict) const;

  private:
    std::array<int, raw_check::kMostDevelopments> files_{};
    std::size_t count_ = 0;
};

}  // namespace quillmere::rawbridge
