#include "reader/heif/hevc_picture_size.h"

#include <algorithm>
#include <string>
#include <vector>

#include "reader/heif/bit_reader.h"

namespace quillmere::hevc_picture_size {
namespace {

constexpr int kSequenceParameterSet = 33;
// NAL unit types below this one are the video coding layer: slice segments, reserved ones included.
constexpr int kFirstNonVclType = 32;

int nalTypeOf(std::string_view nal) { return static_cast<unsigned char>(nal[0]) >> 1 & 0x3F; }

// An unsigned Exp-Golomb code, as far as 32 bits of value.
std::optional<std::uint64_t> readExpGolomb(heif::BitReader& bits) {
    const std::optional<int> zeros = bits.leadingZeros(32);
    if (!zeros) return std::nullopt;
    const std::optional<std::uint64_t> rest = bits.read(*zeros);
    if (!rest) return std::nullopt;
    return (std::uint64_t{1} << *zeros) - 1 + *rest;
}

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
bool skipProfileTierLevel(heif::BitReader& bits, std::uint64_t subLayers) {
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

bool isParameterSet(std::string_view nal) {
    return nal.size() >= 2 && nalTypeOf(nal) == kSequenceParameterSet;
}

// The luma picture size one sequence parameter set NAL unit (its two-byte header included, with
// emulation prevention bytes) declares; nothing when it ends before its size.
std::optional<heif::PixelSize> ofParameterSet(std::string_view nal) {
    heif::BitReader bits(withoutEmulationPrevention(nal.substr(2)));
    if (!bits.skip(4)) return std::nullopt;  // video parameter set id
    const std::optional<std::uint64_t> subLayers = bits.read(3);
    if (!subLayers || !bits.skip(1) || !skipProfileTierLevel(bits, *subLayers)) return std::nullopt;
    if (!readExpGolomb(bits)) return std::nullopt;  // sequence parameter set id
    const std::optional<std::uint64_t> chromaFormat = readExpGolomb(bits);
    if (!chromaFormat || (*chromaFormat == 3 && !bits.skip(1))) return std::nullopt;
    const std::optional<std::uint64_t> width = readExpGolomb(bits);
    const std::optional<std::uint64_t> height = readExpGolomb(bits);
    if (!width || !height) return std::nullopt;
    return heif::PixelSize{*width, *height};
}

// The units of a decoder configuration record, as libheif reads it: 22 bytes of profile and
// format fields and the NAL length size, the count of arrays, then the arrays of units; units of
// no bytes are left out. Nothing when the record ends early.
std::optional<std::vector<std::string_view>> configurationUnits(std::string_view hvcC) {
    if (hvcC.size() < 23) return std::nullopt;
    std::vector<std::string_view> units;
    std::size_t at = 23;
    const auto byteAt = [&](std::size_t index) { return static_cast<unsigned char>(hvcC[index]); };
    for (int arrays = byteAt(22); arrays > 0; --arrays) {
        if (hvcC.size() - at < 3) return std::nullopt;
        int count = byteAt(at + 1) << 8 | byteAt(at + 2);
        at += 3;
        for (; count > 0; --count) {
            if (hvcC.size() - at < 2) return std::nullopt;
            const std::size_t length = std::size_t{byteAt(at)} << 8 | byteAt(at + 1);
            at += 2;
            if (length > hvcC.size() - at) return std::nullopt;
            if (length > 0) units.push_back(hvcC.substr(at, length));
            at += length;
        }
    }
    return units;
}

constexpr std::size_t kLengthSize = 4;

// The NAL units the decoder is given: the record's, then the data's behind their four-byte
// lengths; nothing when the record cannot be read or a length runs past the data.
std::optional<std::vector<std::string>> decoderUnits(std::string_view hvcC, std::string_view data) {
    const std::optional<std::vector<std::string_view>> configuration = configurationUnits(hvcC);
    if (!configuration) return std::nullopt;
    std::vector<std::string> units(configuration->begin(), configuration->end());
    for (std::size_t at = 0; at < data.size();) {
        if (data.size() - at < kLengthSize) return std::nullopt;
        std::size_t length = 0;
        for (std::size_t byte = 0; byte < kLengthSize; ++byte) {
            length = length << 8 | static_cast<unsigned char>(data[at + byte]);
        }
        at += kLengthSize;
        if (length > data.size() - at) return std::nullopt;
        units.emplace_back(data.substr(at, length));
        at += length;
    }
    return units;
}

}  // namespace

std::optional<heif::PixelSize> largestPicture(std::string_view hvcC, std::string_view data) {
    const std::optional<std::vector<std::string>> units = decoderUnits(hvcC, data);
    if (!units) return std::nullopt;
    std::optional<heif::PixelSize> largest;
    for (const std::string& unit : *units) {
        if (!isParameterSet(unit)) continue;
        const std::optional<heif::PixelSize> size = ofParameterSet(unit);
        if (!size) return std::nullopt;
        largest = heif::PixelSize{std::max(size->width, largest ? largest->width : 0),
                                  std::max(size->height, largest ? largest->height : 0)};
    }
    return largest;
}

std::optional<std::uint64_t> codedSliceBytes(std::string_view hvcC, std::string_view data) {
    const std::optional<std::vector<std::string>> units = decoderUnits(hvcC, data);
    if (!units) return std::nullopt;
    std::uint64_t bytes = 0;
    for (const std::string& unit : *units) {
        if (!unit.empty() && nalTypeOf(unit) < kFirstNonVclType) bytes += unit.size();
    }
    return bytes;
}

}  // namespace quillmere::hevc_picture_size
