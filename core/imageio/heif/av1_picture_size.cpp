#include "core/imageio/heif/av1_picture_size.h"

#include <algorithm>
#include <limits>
#include <string>

#include "core/imageio/heif/bit_reader.h"

namespace quillmere::av1_picture_size {
namespace {

constexpr std::uint64_t kSequenceHeader = 1;
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

std::optional<heif::PixelSize> largestFrame(std::string_view obus) {
    std::optional<heif::PixelSize> largest;
    while (!obus.empty()) {
        const auto header = static_cast<unsigned char>(obus.front());
        obus.remove_prefix(1);
        const std::uint64_t type = header >> 3 & 0xF;
        const bool extended = (header & 4) != 0, sized = (header & 2) != 0;
        if (extended) {
            if (obus.empty()) return std::nullopt;
            obus.remove_prefix(1);
        }
        std::uint64_t size = obus.size();
        if (sized) {
            const std::optional<std::uint64_t> stated = readLeb128(obus);
            if (!stated || *stated > obus.size()) return std::nullopt;
            size = *stated;
        }
        if (type == kSequenceHeader) {
            const std::optional<heif::PixelSize> frame = frameSizeOf(obus.substr(0, size));
            if (!frame) return std::nullopt;
            largest = heif::PixelSize{std::max(frame->width, largest ? largest->width : 0),
                                      std::max(frame->height, largest ? largest->height : 0)};
        }
        obus.remove_prefix(size);
    }
    return largest;
}

}  // namespace quillmere::av1_picture_size
