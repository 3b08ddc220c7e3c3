#pragma once

#include <cstdint>
#include <optional>

#include "rawbridge/raw_check_protocol.h"

namespace quillmere {

// A development of a RAW file that the RAW checking helper made and handed back with its verdict
// (raw_check_protocol.h): LibRaw's development as the bridge gives it, half-float RGBA pixels with
// the bottom row first, in the helper's sealed memory file, mapped read-only while this lives.
// Moved, never copied: its one user takes it and releases it.
class HandedBackDevelopment {
  public:
    using Kind = raw_check::DevelopmentKind;

    // Takes `descriptor`, which came from the helper, and closes it whatever it is. Nothing
    // unless it is a memory file carrying every seal of kDevelopmentSeals (only a memory file
    // made for sealing can, and then no byte of it can change any more), whose header names a
    // kind and a size of 1 to LinearImage::maxPixelCount pixels with their byte count, and whose
    // size is exactly the header's and those pixels'.
    static std::optional<HandedBackDevelopment> accept(int descriptor);

    HandedBackDevelopment(HandedBackDevelopment&& other) noexcept;
    HandedBackDevelopment& operator=(HandedBackDevelopment&& other) noexcept;
    ~HandedBackDevelopment();

    Kind kind() const { return static_cast<Kind>(header_.kind); }
    int width() const { return header_.width; }
    int height() const { return header_.height; }
    // The ISO speed LibRaw reported; 0 when the file records none.
    float iso() const { return header_.iso; }
    // width × height pixels of four half floats, rows packed, the bottom row first.
    const std::uint16_t* rgba() const;
    // The memory it holds (its file's size).
    std::uint64_t bytes() const { return bytes_; }

  private:
    HandedBackDevelopment(const void* mapping, std::uint64_t bytes,
                          raw_check::DevelopmentHeader header);

    const void* mapping_ = nullptr;
    std::uint64_t bytes_ = 0;
    raw_check::DevelopmentHeader header_;
};

}  // namespace quillmere
