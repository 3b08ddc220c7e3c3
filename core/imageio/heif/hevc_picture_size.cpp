#include "core/imageio/heif/hevc_picture_size.h"

#include <string>

namespace quillmere::hevc_picture_size {
namespace {

constexpr int kSequenceParameterSet = 33;

// Reads bits in order from a NAL unit's payload, emulation prevention bytes removed.
class Bits {
  public:
    explicit Bits(std::string payload) : bytes_(std::move(payload)) {}

    // Nothing once the payload has ended.
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
    // An unsigned Exp-Golomb code, as far as 32 bits of value.
    std::optional<std::uint64_t> readExpGolomb() {
        int zeros = 0;
        for (std::optional<std::uint64_t> bit; (bit = read(1)) && *bit == 0;) {
            if (++zeros > 32) return std::nullopt;
        }
        const std::optional<std::uint64_t> rest = read(zeros);
        if (!rest) return std::nullopt;
        return (std::uint64_t{1} << zeros) - 1 + *rest;
    }

  private:
    std::string bytes_;
    std::size_t position_ = 0;
};

// A NAL unit never holds 00 00 followed by 00 to 03: its writer puts 03 after every 00 00 such a
// byte follows, which the reader drops.
std::string withoutEmulationPrevention(std::string_view payload) {
    std::string bytes;
    int zeros = 0;
    for (const char byte : payload) {
        if (zeros >= 2 && byte == 3) {
            zeros = 0;
            continue;
        }
        bytes += byte;
        zeros = byte == 0 ? zeros + 1 : 0;
    }
    return bytes;
}

// The profile, tier and level of the stream and of each of its sub-layers, which come before the
// picture size and are skipped.
bool skipProfileTierLevel(Bits& bits, std::uint64_t subLayers) {
    if (!bits.skip(96)) return false;  // general profile (88 bits) and level (8)
    std::uint64_t profilePresent = 0, levelPresent = 0;
    for (std::uint64_t layer = 0; layer < subLayers; ++layer) {
        const auto profile = bits.read(1), level = bits.read(1);
        if (!profile || !level) return false;
        profilePresent |= *profile << layer;
        levelPresent |= *level << layer;
    }
    if (subLayers > 0 && !bits.skip(2 * static_cast<int>(8 - subLayers))) return false;
    for (std::uint64_t layer = 0; layer < subLayers; ++layer) {
        if ((profilePresent >> layer & 1) && !bits.skip(88)) return false;
        if ((levelPresent >> layer & 1) && !bits.skip(8)) return false;
    }
    return true;
}

}  // namespace

std::optional<CodedSize> ofParameterSet(std::string_view nal) {
    if (nal.size() < 2 || (static_cast<unsigned char>(nal[0]) >> 1 & 0x3F) != kSequenceParameterSet) {
        return std::nullopt;
    }
    Bits bits(withoutEmulationPrevention(nal.substr(2)));
    if (!bits.skip(4)) return std::nullopt;  // video parameter set id
    const std::optional<std::uint64_t> subLayers = bits.read(3);
    if (!subLayers || !bits.skip(1) || !skipProfileTierLevel(bits, *subLayers)) return std::nullopt;
    if (!bits.readExpGolomb()) return std::nullopt;  // sequence parameter set id
    const std::optional<std::uint64_t> chromaFormat = bits.readExpGolomb();
    if (!chromaFormat || (*chromaFormat == 3 && !bits.skip(1))) return std::nullopt;
    const std::optional<std::uint64_t> width = bits.readExpGolomb();
    const std::optional<std::uint64_t> height = bits.readExpGolomb();
    if (!width || !height) return std::nullopt;
    return CodedSize{*width, *height};
}

std::optional<Configuration> configurationOf(std::string_view hvcC) {
    // 21 bytes of profile and format fields, then the NAL length size and the arrays of units.
    if (hvcC.size() < 23) return std::nullopt;
    Configuration configuration;
    configuration.lengthSize = (static_cast<unsigned char>(hvcC[21]) & 3) + 1;
    std::size_t at = 23;
    for (int arrays = static_cast<unsigned char>(hvcC[22]); arrays > 0; --arrays) {
        if (hvcC.size() - at < 3) return std::nullopt;
        int count = static_cast<unsigned char>(hvcC[at + 1]) << 8 | static_cast<unsigned char>(hvcC[at + 2]);
        at += 3;
        for (; count > 0; --count) {
            if (hvcC.size() - at < 2) return std::nullopt;
            const std::size_t length = static_cast<std::size_t>(static_cast<unsigned char>(hvcC[at])) << 8 |
                                       static_cast<unsigned char>(hvcC[at + 1]);
            at += 2;
            if (length > hvcC.size() - at) return std::nullopt;
            configuration.units.push_back(hvcC.substr(at, length));
            at += length;
        }
    }
    return configuration;
}

std::optional<std::vector<std::string_view>> unitsOf(std::string_view data, int lengthSize) {
    std::vector<std::string_view> units;
    const auto size = static_cast<std::size_t>(lengthSize);
    for (std::size_t at = 0; at < data.size();) {
        if (data.size() - at < size) return std::nullopt;
        std::size_t length = 0;
        for (std::size_t byte = 0; byte < size; ++byte) {
            length = length << 8 | static_cast<unsigned char>(data[at + byte]);
        }
        at += size;
        if (length > data.size() - at) return std::nullopt;
        units.push_back(data.substr(at, length));
        at += length;
    }
    return units;
}

}  // namespace quillmere::hevc_picture_size
