#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "reader/heif/heif_items.h"

// What an AV1 stream's sequence headers say of its largest frame, read without a decoder: the
// decoder sizes its frames by them, whatever a file's boxes state.
namespace quillmere::av1_picture_size {

// The largest frame any sequence header OBU of `obus` allows (max_frame_width and
// max_frame_height), among the OBUs the decoder is given for an item: those of its configuration
// record ('av1C', after its four fixed bytes) followed by its data. Nothing when there is none, or
// an OBU cannot be framed or a sequence header read: what cannot be measured is not decoded.
std::optional<heif::PixelSize> largestFrame(std::string_view obus);

// The bytes of the OBUs holding coded tiles: those the decoder reads, and those it leaves out.
struct TileBytes {
    std::uint64_t decoded = 0;
    std::uint64_t leftOut = 0;
    bool operator==(const TileBytes&) const = default;
};

// How many bytes of `obus` (as largestFrame takes them) code tiles as dav1d and libaom decode
// them: the payloads of frame OBUs after a sequence header, and of tile group OBUs after a frame's
// header, of the layers the last sequence header's first operating point decodes. Tile lists,
// which only a decoder of large-scale tiles reads, OBUs of other layers, which both decoders drop,
// and tiles before what they need are left out and counted apart; sequence headers, metadata and
// padding code none. Nothing when an OBU cannot be framed.
std::optional<TileBytes> codedTileBytes(std::string_view obus);

// The OBUs of an 'av1C' property's payload; nothing when it is too short to hold its fixed
// fields.
std::optional<std::string_view> configurationObus(std::string_view av1C);

}  // namespace quillmere::av1_picture_size
