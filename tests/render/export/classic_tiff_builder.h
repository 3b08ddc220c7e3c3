#pragma once

// Writes and reads minimal classic TIFF files in either byte order, so that tests can build the
// exact layouts they need: big-endian files, crafted offsets, truncated directories.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillmere::testing {

struct TIFFEntry {
    std::uint16_t tag = 0;
    std::uint16_t type = 0;
    std::uint32_t count = 0;
    std::string value;  // 4 bytes: the value itself or its offset

    bool operator==(const TIFFEntry&) const = default;
};

class ClassicTIFFBuilder {
  public:
    explicit ClassicTIFFBuilder(bool bigEndian) : bigEndian_(bigEndian) {
        bytes_ = std::string(bigEndian ? "MM" : "II") + u16(42) + u32(0);
    }

    std::string u16(std::uint32_t value) const { return render(value, 2); }
    std::string u32(std::uint32_t value) const { return render(value, 4); }

    // Appends `data` at an even offset and returns the offset.
    std::uint32_t append(std::string_view data) {
        if (bytes_.size() % 2 != 0) bytes_.push_back('\0');
        const auto offset = static_cast<std::uint32_t>(bytes_.size());
        bytes_ += data;
        return offset;
    }

    // Appends a directory of `entries` as given (no sorting) and returns its offset.
    std::uint32_t appendDirectory(const std::vector<TIFFEntry>& entries, std::uint32_t next) {
        std::string directory = u16(static_cast<std::uint32_t>(entries.size()));
        for (const TIFFEntry& entry : entries) {
            directory += u16(entry.tag) + u16(entry.type) + u32(entry.count) + entry.value;
        }
        return append(directory + u32(next));
    }

    void setFirstDirectory(std::uint32_t offset) { bytes_.replace(4, 4, u32(offset)); }

    // A SHORT value stored inline: its two bytes, then two zero bytes.
    std::string inlineShort(std::uint16_t value) const { return u16(value) + std::string(2, '\0'); }

    const std::string& bytes() const { return bytes_; }

  private:
    std::string render(std::uint32_t value, unsigned count) const {
        std::string out(count, '\0');
        for (unsigned i = 0; i < count; ++i) {
            const unsigned shift = 8 * (bigEndian_ ? count - 1 - i : i);
            out[i] = static_cast<char>((value >> shift) & 0xFF);
        }
        return out;
    }

    bool bigEndian_;
    std::string bytes_;
};

// Reads back numbers and directories of a file the tests produced or built.
class ClassicTIFFReader {
  public:
    explicit ClassicTIFFReader(std::string_view bytes)
        : bytes_(bytes), bigEndian_(bytes.substr(0, 2) == "MM") {}

    std::uint32_t number(std::size_t offset, unsigned count) const {
        return numberIn(bytes_.substr(offset, count));
    }

    std::uint32_t firstDirectory() const { return number(4, 4); }

    std::vector<TIFFEntry> entries(std::uint32_t directory) const {
        std::vector<TIFFEntry> result;
        const std::uint32_t count = number(directory, 2);
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::size_t entry = directory + 2 + 12 * std::size_t{i};
            result.push_back({static_cast<std::uint16_t>(number(entry, 2)),
                              static_cast<std::uint16_t>(number(entry + 2, 2)),
                              number(entry + 4, 4), std::string(bytes_.substr(entry + 8, 4))});
        }
        return result;
    }

    // The bytes of a BYTE, ASCII or UNDEFINED value, inline or at its offset.
    std::string byteValue(const TIFFEntry& entry) const {
        if (entry.count <= 4) return entry.value.substr(0, entry.count);
        return std::string(bytes_.substr(numberIn(entry.value), entry.count));
    }

  private:
    std::uint32_t numberIn(std::string_view field) const {
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < field.size(); ++i) {
            const std::size_t index = bigEndian_ ? i : field.size() - 1 - i;
            value = (value << 8) | static_cast<unsigned char>(field.at(index));
        }
        return value;
    }

    std::string_view bytes_;
    bool bigEndian_;
};

}  // namespace quillmere::testing
