#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

// The boxes of an ISO base media file, framed as libheif 1.15 frames them.
namespace quillmere::heif {

// Thrown when a box or a field runs past the end of what holds it, or a box cannot be framed:
// libheif fails on such a file too.
struct Malformed {};

// Big-endian fields read in order from one payload.
class Fields {
  public:
    explicit Fields(std::string_view bytes) : bytes_(bytes) {}

    // A field of `count` bytes, at most eight.
    std::uint64_t read(std::uint64_t count);
    std::string_view take(std::uint64_t count);
    // A string up to its terminating zero, which is taken too.
    std::string_view takeString();
    // A full box's version and flags.
    struct FullBoxHeader {
        std::uint64_t version;
        std::uint64_t flags;
    };
    FullBoxHeader fullBoxHeader();
    std::string_view rest() const { return bytes_; }
    bool empty() const { return bytes_.empty(); }

  private:
    std::string_view bytes_;
};

struct Box {
    std::string_view type;
    std::string_view payload;  // after the header, the 'uuid' type's extra 16 bytes included
    std::uint64_t headerSize = 8;
};

// The box at the start of `fields`, which moves past it. libheif takes a size of 0 for less than
// the header, and so does this: it is Malformed.
Box nextBox(Fields& fields);
// The boxes that fill `bytes`, in order.
std::vector<Box> boxesIn(std::string_view bytes);
// The payload of the first box of `type`, as libheif takes it; empty when there is none.
std::string_view payloadOf(const std::vector<Box>& boxes, std::string_view type);
// The first box of `type`; nullptr when there is none.
const Box* firstOf(const std::vector<Box>& boxes, std::string_view type);

}  // namespace quillmere::heif
