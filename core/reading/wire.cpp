#include "core/reading/wire.h"

#include <bit>

namespace quillmere {

void WireWriter::fixed(std::uint64_t value, std::size_t width) {
    for (std::size_t index = 0; index < width; ++index) {
        data_.push_back(static_cast<char>((value >> (8 * index)) & 0xFF));
    }
}

WireWriter& WireWriter::u8(std::uint8_t value) {
    fixed(value, 1);
    return *this;
}

WireWriter& WireWriter::u32(std::uint32_t value) {
    fixed(value, 4);
    return *this;
}

WireWriter& WireWriter::u64(std::uint64_t value) {
    fixed(value, 8);
    return *this;
}

WireWriter& WireWriter::i32(std::int32_t value) { return u32(static_cast<std::uint32_t>(value)); }

WireWriter& WireWriter::i64(std::int64_t value) { return u64(static_cast<std::uint64_t>(value)); }

WireWriter& WireWriter::f32(float value) { return u32(std::bit_cast<std::uint32_t>(value)); }

WireWriter& WireWriter::f64(double value) { return u64(std::bit_cast<std::uint64_t>(value)); }

WireWriter& WireWriter::boolean(bool value) { return u8(value ? 1 : 0); }

WireWriter& WireWriter::text(std::string_view value) { return bytes(value); }

WireWriter& WireWriter::bytes(std::string_view value) {
    u64(value.size());
    data_.append(value);
    return *this;
}

std::string_view WireReader::take(std::uint64_t count) {
    if (count > remaining()) throw WireError("A message ends before its value does.");
    const std::string_view taken = data_.substr(position_, static_cast<std::size_t>(count));
    position_ += taken.size();
    return taken;
}

std::uint64_t WireReader::fixed(std::size_t width) {
    const std::string_view bytes = take(width);
    std::uint64_t value = 0;
    for (std::size_t index = 0; index < width; ++index) {
        value |= std::uint64_t{static_cast<unsigned char>(bytes[index])} << (8 * index);
    }
    return value;
}

std::uint8_t WireReader::u8() { return static_cast<std::uint8_t>(fixed(1)); }

std::uint32_t WireReader::u32() { return static_cast<std::uint32_t>(fixed(4)); }

std::uint64_t WireReader::u64() { return fixed(8); }

std::int32_t WireReader::i32() { return static_cast<std::int32_t>(u32()); }

std::int64_t WireReader::i64() { return static_cast<std::int64_t>(u64()); }

float WireReader::f32() { return std::bit_cast<float>(u32()); }

double WireReader::f64() { return std::bit_cast<double>(u64()); }

bool WireReader::boolean() {
    const std::uint8_t value = u8();
    if (value > 1) throw WireError("A message holds a boolean that is neither 0 nor 1.");
    return value == 1;
}

std::string WireReader::text(std::size_t maxBytes) { return std::string(bytes(maxBytes)); }

std::string_view WireReader::bytes(std::size_t maxBytes) {
    const std::uint64_t length = u64();
    if (length > maxBytes) throw WireError("A message holds a value longer than it may be.");
    return take(length);
}

void WireReader::finish() const {
    if (remaining() != 0) throw WireError("A message goes on after its last value.");
}

}  // namespace quillmere
