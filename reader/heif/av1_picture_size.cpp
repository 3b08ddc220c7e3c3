#include "reader/heif/av1_picture_size.h"

#include <algorithm>
#include <array>
#include <limits>
#include <string>

#include "reader/heif/bit_reader.h"

namespace quillmere::av1_picture_size {
namespace {

constexpr std::uint64_t kSequenceHeader = 1;
// The OBUs that hold coded tiles: a tile group, a frame (its header and tile group), a tile list.
constexpr std::array<std::uint64_t, 3> kTileDataTypes{4, 6, 8};
constexpr std::size_t kConfigurationFields = 4;

// A LEB128 number of at most eight bytes, as OBU sizes are written.
std::optional<std::uint64_t> readLeb128(std::string_view& bytes) {
    std::uint64_t value = 0;
    for (int index = 0; index < 8; ++index) {
        if (bytes.empty()) return std::nullopt;
        const auto byte = static_cast<unsigned char>(bytes.front());
        bytes.remove_prefix(1);
        value |= std::uint64_t{byte & 0x7Fu} << (7 * index);
        if ((byte & 0x80) == 0) return value;
    }
    return std::nullopt;
}

// Skips what a sequence header holds before its frame size: profile, still-picture flags, timing
// and decoder model information, and the operating points.
bool skipToFrameSize(heif::BitReader& bits) {
    if (!bits.skip(4)) return false;  // seq_profile, still_picture
    const auto reduced = bits.read(1);
    if (!reduced) return false;
    if (*reduced) return bits.skip(5);  // seq_level_idx[0]
    const auto timing = bits.read(1);
    if (!timing) return false;
    bool decoderModel = false;
    std::uint64_t bufferDelayLength = 0;
    if (*timing) {
        if (!bits.skip(64)) return false;  // num_units_in_display_tick, time_scale
        const auto equalIntervals = bits.read(1);
        if (!equalIntervals) return false;
        if (*equalIntervals) {  // num_ticks_per_picture_minus_1, uvlc
            const std::optional<int> zeros = bits.leadingZeros(std::numeric_limits<int>::max());
            if (!zeros || (*zeros < 32 && !bits.skip(*zeros))) return false;
        }
        const auto model = bits.read(1);
        if (!model) return false;
        decoderModel = *model != 0;
        if (decoderModel) {
            const auto length = bits.read(5);
            if (!length || !bits.skip(32 + 5 + 5)) return false;
            bufferDelayLength = *length + 1;
        }
    }
    const auto displayDelay = bits.read(1);
    const auto operatingPoints = bits.read(5);
    if (!displayDelay || !operatingPoints) return false;
    for (std::uint64_t point = 0; point <= *operatingPoints; ++point) {
        if (!bits.skip(12)) return false;  // operating_point_idc
        const auto level = bits.read(5);
        if (!level || (*level > 7 && !bits.skip(1))) return false;
        if (decoderModel) {
            const auto present = bits.read(1);
            if (!present) return false;
            if (*present && !bits.skip(static_cast<int>(2 * bufferDelayLength + 1))) return false;
        }
        if (*displayDelay) {
            const auto present = bits.read(1);
            if (!present || (*present && !bits.skip(4))) return false;
        }
    }
    return true;
}

std::optional<heif::PixelSize> frameSizeOf(std::string_view payload) {
    heif::BitReader bits{std::string(payload)};
    if (!skipToFrameSize(bits)) return std::nullopt;
    const auto widthBits = bits.read(4), heightBits = bits.read(4);
    if (!widthBits || !heightBits) return std::nullopt;
    const auto width = bits.read(static_cast<int>(*widthBits + 1));
    const auto height = bits.read(static_cast<int>(*heightBits + 1));
    if (!width || !height) return std::nullopt;
    return heif::PixelSize{*width + 1, *height + 1};
}

}  // namespace

std::optional<std::string_view> configurationObus(std::string_view av1C) {
    if (av1C.size() < kConfigurationFields) return std::nullopt;
    return av1C.substr(kConfigurationFields);
}

namespace {

// Calls `visit` with the type and payload of each OBU of `obus` in turn; false when one cannot be
// framed.
template <class Visit>
bool forEachObu(std::string_view obus, const Visit& visit) {
    while (!obus.empty()) {
        const auto header = static_cast<unsigned char>(obus.front());
        obus.remove_prefix(1);
        const bool extended = (header & 4) != 0, sized = (header & 2) != 0;
        if (extended) {
            if (obus.empty()) return false;
            obus.remove_prefix(1);
        }
        std::uint64_t size = obus.size();
        if (sized) {
            const std::optional<std::uint64_t> stated = readLeb128(obus);
            if (!stated || *stated > obus.size()) return false;
            size = *stated;
        }
        if (!visit(std::uint64_t{header} >> 3 & 0xF, obus.substr(0, size))) return false;
        obus.remove_prefix(size);
    }
    return true;
}

}  // namespace

std::optional<heif::PixelSize> largestFrame(std::string_view obus) {
    std::optional<heif::PixelSize> largest;
    const bool read = forEachObu(obus, [&](std::uint64_t type, std::string_view payload) {
        if (type != kSequenceHeader) return true;
        const std::optional<heif::PixelSize> frame = frameSizeOf(payload);
        if (!frame) return false;
        largest = heif::PixelSize{std::max(frame->width, largest ? largest->width : 0),
                                  std::max(frame->height, largest ? largest->height : 0)};
        return true;
    });
    return read ? largest : std::nullopt;
}

std::optional<std::uint64_t> codedTileBytes(std::string_view obus) {
    std::uint64_t bytes = 0;
    const bool read = forEachObu(obus, [&](std::uint64_t type, std::string_view payload) {
        if (std::find(kTileDataTypes.begin(), kTileDataTypes.end(), type) != kTileDataTypes.end()) {
            bytes += payload.size();
        }
        return true;
    });
    return read ? std::optional(bytes) : std::nullopt;
}

}  // namespace quillmere::av1_picture_size
