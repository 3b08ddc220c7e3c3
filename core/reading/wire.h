#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quillmere {

// The small serialised form the program and its reader exchange (reader_protocol.h): values in
// little-endian byte order at fixed widths, one after another without padding or names; text and
// bytes as a u64 length and then the bytes. Both sides know the order of the values of each
// message, so nothing else is written.

// A message that does not decode: it ends before a value does, a length exceeds what the reader
// allows or what is left, a boolean is neither 0 nor 1, or bytes are left over.
class WireError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class WireWriter {
  public:
    WireWriter& u8(std::uint8_t value);
    WireWriter& u32(std::uint32_t value);
    WireWriter& u64(std::uint64_t value);
    WireWriter& i32(std::int32_t value);
    WireWriter& i64(std::int64_t value);
    WireWriter& f32(float value);
    WireWriter& f64(double value);
    WireWriter& boolean(bool value);
    WireWriter& text(std::string_view value);
    WireWriter& bytes(std::string_view value);

    // What was written.
    const std::string& data() const { return data_; }
    std::string take() { return std::move(data_); }

  private:
    void fixed(std::uint64_t value, std::size_t width);

    std::string data_;
};

// Reads a message from its first byte. Every read checks that its value lies within what is left
// and throws WireError otherwise; text and bytes longer than the caller's maximum throw before
// anything is copied. finish() says the message ended with its last value.
class WireReader {
  public:
    explicit WireReader(std::string_view data) : data_(data) {}
    // It reads the bytes where they are: they outlive it.
    explicit WireReader(std::string&&) = delete;

    std::uint8_t u8();
    std::uint32_t u32();
    std::uint64_t u64();
    std::int32_t i32();
    std::int64_t i64();
    float f32();
    double f64();
    bool boolean();
    std::string text(std::size_t maxBytes);
    // A view into the message, valid while its bytes are.
    std::string_view bytes(std::size_t maxBytes);

    std::size_t remaining() const { return data_.size() - position_; }
    // Throws WireError when bytes are left over.
    void finish() const;

  private:
    std::uint64_t fixed(std::size_t width);
    std::string_view take(std::uint64_t count);

    std::string_view data_;
    std::size_t position_ = 0;
};

}  // namespace quillmere
