#include "reader/heif/av1_picture_size.h"

#include <algorithm>
#include <array>
#include <limits>
#include <string>

#include "reader/heif/bit_reader.h"

namespace quillmere::av1_picture_size {
namespace {

constexpr std::uint64_t kSequenceHeader = 1;
constexpr std::uint64_t kFrameHeader = 3;
constexpr std::uint64_t kTileGroup = 4;
constexpr std::uint64_t kFrame = 6;  // a frame header and its tile group
// The OBUs that hold coded tiles: a tile group, a frame, a tile list (which only a decoder of
// large-scale tiles reads, as neither dav1d nor libaom does here).
constexpr std::array<std::uint64_t, 3> kTileDataTypes{kTileGroup, kFrame, 8};
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

// What a sequence header says of the frames and layers decoded.
struct SequenceHeader {
    heif::PixelSize maxFrame;
    // The layers of the first operating point, which dav1d and libaom decode unless told
    // otherwise: temporal layers in its low eight bits, spatial layers in the four above; 0 for
    // every layer.
    std::uint64_t operatingPoint = 0;
};

// Skips what a sequence header holds before its frame size: profile, still-picture flags, timing
// and decoder model information, and the operating points, of which the first one's layers are
// kept in `operatingPoint`.
bool skipToFrameSize(heif::BitReader& bits, std::uint64_t& operatingPoint) {
    if (!bits.skip(4)) return false;  // seq_profile, still_picture
    const auto reduced = bits.read(1);
    if (!reduced) return false;
    operatingPoint = 0;
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
        const auto layers = bits.read(12);  // operating_point_idc
        if (!layers) return false;
        if (point == 0) operatingPoint = *layers;
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

std::optional<SequenceHeader> readSequenceHeader(std::string_view payload) {
    heif::BitReader bits{std::string(payload)};
    SequenceHeader header;
    if (!skipToFrameSize(bits, header.operatingPoint)) return std::nullopt;
    const auto widthBits = bits.read(4), heightBits = bits.read(4);
    if (!widthBits || !heightBits) return std::nullopt;
    const auto width = bits.read(static_cast<int>(*widthBits + 1));
    const auto height = bits.read(static_cast<int>(*heightBits + 1));
    if (!width || !height) return std::nullopt;
    header.maxFrame = {*width + 1, *height + 1};
    return header;
}

}  // namespace

std::optional<std::string_view> configurationObus(std::string_view av1C) {
    if (av1C.size() < kConfigurationFields) return std::nullopt;
    return av1C.substr(kConfigurationFields);
}

namespace {

struct Obu {
    std::uint64_t type = 0;
    std::string_view payload;
    // Its layers, from its extension header; layer 0 of each without one.
    std::uint64_t temporalLayer = 0;
    std::uint64_t spatialLayer = 0;
};

// Calls `visit` with each OBU of `obus` in turn; false when one cannot be framed.
template <class Visit>
bool forEachObu(std::string_view obus, const Visit& visit) {
    while (!obus.empty()) {
        const auto header = static_cast<unsigned char>(obus.front());
        obus.remove_prefix(1);
        const bool extended = (header & 4) != 0, sized = (header & 2) != 0;
        Obu obu;
        obu.type = std::uint64_t{header} >> 3 & 0xF;
        if (extended) {
            if (obus.empty()) return false;
            const auto extension = static_cast<unsigned char>(obus.front());
            obu.temporalLayer = extension >> 5;
            obu.spatialLayer = extension >> 3 & 3;
            obus.remove_prefix(1);
        }
        std::uint64_t size = obus.size();
        if (sized) {
            const std::optional<std::uint64_t> stated = readLeb128(obus);
            if (!stated || *stated > obus.size()) return false;
            size = *stated;
        }
        obu.payload = obus.substr(0, size);
        if (!visit(obu)) return false;
        obus.remove_prefix(size);
    }
    return true;
}

// Whether the decoder reads `obu` under an operating point of `layers`: dav1d and libaom drop
// the OBUs of layers it leaves out. libaom has taken an OBU without an extension header for one
// of layer 0, so it is taken so here.
bool inOperatingPoint(const Obu& obu, std::uint64_t layers) {
    return layers == 0 ||
           ((layers >> obu.temporalLayer & 1) != 0 && (layers >> (obu.spatialLayer + 8) & 1) != 0);
}

}  // namespace

std::optional<heif::PixelSize> largestFrame(std::string_view obus) {
    std::optional<heif::PixelSize> largest;
    const bool read = forEachObu(obus, [&](const Obu& obu) {
        if (obu.type != kSequenceHeader) return true;
        const std::optional<SequenceHeader> header = readSequenceHeader(obu.payload);
        if (!header) return false;
        const heif::PixelSize& frame = header->maxFrame;
        largest = heif::PixelSize{std::max(frame.width, largest ? largest->width : 0),
                                  std::max(frame.height, largest ? largest->height : 0)};
        return true;
    });
    return read ? largest : std::nullopt;
}

std::optional<TileBytes> codedTileBytes(std::string_view obus) {
    TileBytes bytes;
    // The decoder reads a frame only after a sequence header, and a tile group only after a
    // frame's header; the layers of the last sequence header's first operating point.
    std::optional<std::uint64_t> operatingPoint;
    bool frameBegun = false;
    const bool read = forEachObu(obus, [&](const Obu& obu) {
        if (obu.type == kSequenceHeader) {
            const std::optional<SequenceHeader> header = readSequenceHeader(obu.payload);
            operatingPoint = header ? std::optional(header->operatingPoint) : std::nullopt;
            return true;
        }
        const bool read = operatingPoint && inOperatingPoint(obu, *operatingPoint);
        if (read && (obu.type == kFrameHeader || obu.type == kFrame)) frameBegun = true;
        if (std::find(kTileDataTypes.begin(), kTileDataTypes.end(), obu.type) ==
            kTileDataTypes.end()) {
            return true;
        }
        const bool decoded = read && (obu.type == kFrame || (obu.type == kTileGroup && frameBegun));
        (decoded ? bytes.decoded : bytes.leftOut) += obu.payload.size();
        return true;
    });
    return read ? std::optional(bytes) : std::nullopt;
}

}  // namespace quillmere::av1_picture_size
