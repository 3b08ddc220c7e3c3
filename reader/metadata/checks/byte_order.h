#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quillmere::metadata {

// Fixed-size numbers read from metadata bytes, in either byte order. Callers check the range.
enum class ByteOrder { little, big };

inline std::uint16_t read16(std::string_view bytes, std::size_t at, ByteOrder order) {
    const auto a = static_cast<unsigned char>(bytes[at]);
    const auto b = static_cast<unsigned char>(bytes[at + 1]);
    return static_cast<std::uint16_t>(order == ByteOrder::little ? (b << 8) | a : (a << 8) | b);
}

inline std::uint32_t read32(std::string_view bytes, std::size_t at, ByteOrder order) {
    const std::uint32_t first = read16(bytes, at, order);
    const std::uint32_t second = read16(bytes, at + 2, order);
    return order == ByteOrder::little ? (second << 16) | first : (first << 16) | second;
}

}  // namespace quillmere::metadata
