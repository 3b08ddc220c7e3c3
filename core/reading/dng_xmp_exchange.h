#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// What the program asks of the reader's DNG XMP job (reader_protocol::JobKind::dngXmp) and what it
// answers: the program sends the XMP packet a DNG's first directory carries, as a sealed memory
// file of `packetBytes` bytes, with the edit record and the creator switch of the export; the
// reader parses the packet and answers the packet the export writes (dngExportXmpPacket), or
// nothing to write. Both in the wire form (wire.h).
namespace quillmere::dng_xmp_exchange {

struct Params {
    std::uint64_t packetBytes = 0;
    std::optional<std::string> record;
    bool includeSoftware = false;

    bool operator==(const Params&) const = default;
};

std::string encodeParams(const Params& params);
// Throws WireError.
Params decodeParams(std::string_view body);

// The packet to write; empty for none.
std::string encodeAnswer(std::string_view packet);
// Throws WireError.
std::string decodeAnswer(std::string_view body);

}  // namespace quillmere::dng_xmp_exchange
