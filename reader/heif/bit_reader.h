#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quillmere::heif {

// Reads bits in order, most significant first, from a codec's header; every read says whether
// the header still held the bits.
class BitReader {
  public:
    explicit BitReader(std::string bytes) : bytes_(std::move(bytes)) {}

    // Nothing once the bytes have ended.
    std::optional<std::uint64_t> read(int count) {
        std::uint64_t value = 0;
        for (int bit = 0; bit < count; ++bit) {
            if (position_ >= bytes_.size() * 8) return std::nullopt;
            const auto byte = static_cast<unsigned char>(bytes_[position_ / 8]);
            value = value << 1 | (byte >> (7 - position_ % 8) & 1);
            ++position_;
        }
        return value;
    }
    bool skip(int count) { return read(count).has_value(); }

    // How many zero bits come before the next one bit, which is taken too; nothing past `limit`
    // zeros or at the end of the bytes.
    std::optional<int> leadingZeros(int limit) {
        int zeros = 0;
        for (std::optional<std::uint64_t> bit; (bit = read(1)) && *bit == 0;) {
            if (++zeros > limit) return std::nullopt;
        }
        return zeros;
    }

  private:
    std::string bytes_;
    std::size_t position_ = 0;
};

}  // namespace quillmere::heif
