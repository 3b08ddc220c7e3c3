#include "reader/metadata/checks/exiv2_makernotes.h"

namespace quillmere::metadata {
namespace {

using G = TiffGroup;

bool startsWith(std::string_view bytes, std::string_view prefix) {
    return bytes.substr(0, prefix.size()) == prefix;
}

// The header of a maker note as Exiv2 reads it once the note is chosen.
struct Header {
    std::size_t signatureSize = 0;  // what must be there to read it
    std::string_view signature;     // what the header is checked against
    std::uint32_t directoryOffset = 0;
    std::optional<std::uint32_t> baseShift;
};

MakernoteLayout plainDirectory(G group, bool hasNext = true) {
    return {group, 0, std::nullopt, std::nullopt, hasNext};
}

std::optional<MakernoteLayout> withHeader(G group, const Header& header, std::string_view rest,
                                          bool hasNext = true) {
    if (rest.size() < header.signatureSize || !startsWith(rest, header.signature)) {
        return std::nullopt;
    }
    return MakernoteLayout{group, header.directoryOffset, std::nullopt, header.baseShift, hasNext};
}

// "Nikon\0" followed by a TIFF header of its own at byte 10.
std::optional<ByteOrder> tiffHeaderOrder(std::string_view bytes) {
    if (bytes.size() < 8) return std::nullopt;
    const std::optional<ByteOrder> order = startsWith(bytes, "II")
                                               ? std::optional(ByteOrder::little)
                                           : startsWith(bytes, "MM") ? std::optional(ByteOrder::big)
                                                                     : std::nullopt;
    if (!order || read16(bytes, 2, *order) != 42) return std::nullopt;
    return order;
}

const Header olympusHeader{8, std::string_view("OLYMP\0", 6), 8, std::nullopt};
const Header olympus2Header{12, std::string_view("OLYMPUS\0II", 10), 12, 0};
const Header omSystemHeader{16, std::string_view("OM SYSTEM\0\0\0II", 14), 16, 0};
const Header nikon2Header{8, std::string_view("Nikon\0", 6), 8, std::nullopt};
const Header panasonicHeader{12, std::string_view("Panasonic", 9), 12, std::nullopt};
const Header pentaxDngHeader{10, std::string_view("PENTAX ", 7), 10, 0};
const Header pentaxHeader{6, std::string_view("AOC", 3), 6, std::nullopt};
const Header sonyHeader{12, std::string_view("SONY DSC \0\0\0", 12), 12, std::nullopt};
const Header casio2Header{6, std::string_view("QVC\0\0\0", 6), 6, std::nullopt};

std::optional<MakernoteLayout> nikon(std::string_view value, std::string_view rest) {
    if (!startsWith(value, std::string_view("Nikon\0", 6))) {
        if (value.size() < 18) return std::nullopt;
        return plainDirectory(G::nikon1);
    }
    if (value.size() < 18 || !tiffHeaderOrder(value.substr(10))) {
        if (value.size() < 8 + 18) return std::nullopt;
        return withHeader(G::nikon2, nikon2Header, rest);
    }
    if (value.size() < 18 + 18 || rest.size() < 18 ||
        !startsWith(rest, std::string_view("Nikon\0", 6))) {
        return std::nullopt;
    }
    const std::optional<ByteOrder> order = tiffHeaderOrder(rest.substr(10));
    if (!order) return std::nullopt;
    // The directory offset is 32 bits, as Exiv2 adds it.
    const std::uint32_t directory = 10u + read32(rest, 14, *order);
    return MakernoteLayout{G::nikon3, directory, order, 10, true};
}

std::optional<MakernoteLayout> olympus(std::string_view value, std::string_view rest) {
    if (value.size() < 10 || !startsWith(value, std::string_view("OLYMPUS\0II", 10))) {
        if (value.size() < 8 + 18) return std::nullopt;
        return withHeader(G::olympus, olympusHeader, rest);
    }
    if (value.size() < 12 + 18) return std::nullopt;
    return withHeader(G::olympus2, olympus2Header, rest);
}

std::optional<MakernoteLayout> pentax(std::uint16_t tag, std::string_view value,
                                      std::string_view rest) {
    if (value.size() > 8 && startsWith(value, std::string_view("PENTAX \0", 8))) {
        if (value.size() < 10 + 18) return std::nullopt;
        return withHeader(tag == 0xc634 ? G::pentaxDng : G::pentax, pentaxDngHeader, rest);
    }
    if (value.size() > 4 && startsWith(value, std::string_view("AOC\0", 4))) {
        if (value.size() < 6 + 18) return std::nullopt;
        return withHeader(G::pentax, pentaxHeader, rest);
    }
    return std::nullopt;
}

std::optional<MakernoteLayout> fuji(std::string_view value, std::string_view rest) {
    if (value.size() < 12 + 18 || rest.size() < 12 || !startsWith(rest, "FUJIFILM")) {
        return std::nullopt;
    }
    return MakernoteLayout{G::fuji, read32(rest, 8, ByteOrder::little), ByteOrder::little, 0, true};
}

std::optional<MakernoteLayout> sigma(std::string_view value, std::string_view rest) {
    if (value.size() < 10 + 18 || rest.size() < 10) return std::nullopt;
    if (!startsWith(rest, std::string_view("SIGMA\0\0\0", 8)) &&
        !startsWith(rest, std::string_view("FOVEON\0\0", 8))) {
        return std::nullopt;
    }
    return MakernoteLayout{G::sigma, 10, std::nullopt, std::nullopt, true};
}

std::optional<MakernoteLayout> samsung(std::string_view value, std::string_view rest) {
    if (value.size() > 4 && startsWith(value, std::string_view("AOC\0", 4))) {
        if (value.size() < 6 + 18) return std::nullopt;
        return withHeader(G::pentax, pentaxHeader, rest);
    }
    if (value.size() < 18) return std::nullopt;
    return MakernoteLayout{G::samsung2, 0, std::nullopt, 0, true};
}

std::optional<MakernoteLayout> sony(std::string_view value, std::string_view rest) {
    if (value.size() < 12 || !startsWith(value, std::string_view("SONY DSC \0\0\0", 12))) {
        if (value.size() < 18) return std::nullopt;
        return plainDirectory(G::sony2);
    }
    if (value.size() < 12 + 14) return std::nullopt;
    return withHeader(G::sony1, sonyHeader, rest, false);
}

std::optional<MakernoteLayout> casio(std::string_view value, std::string_view rest) {
    if (value.size() > 6 && startsWith(value, std::string_view("QVC\0\0\0", 6))) {
        std::optional<MakernoteLayout> layout = withHeader(G::casio2, casio2Header, rest);
        if (layout) layout->byteOrder = ByteOrder::big;
        return layout;
    }
    if (value.size() < 14) return std::nullopt;
    return plainDirectory(G::casio);
}

}  // namespace

std::optional<MakernoteLayout> makernoteLayout(std::string_view make, std::uint16_t tag,
                                               std::string_view value, std::string_view rest) {
    // Exiv2 takes the first make of its list that begins the camera's make.
    if (startsWith(make, "Canon")) {
        return value.size() < 14 ? std::nullopt : std::optional(plainDirectory(G::canon));
    }
    if (startsWith(make, "FOVEON")) return sigma(value, rest);
    if (startsWith(make, "FUJI")) return fuji(value, rest);
    if (startsWith(make, "KONICA MINOLTA") || startsWith(make, "Minolta")) {
        return value.size() < 14 ? std::nullopt : std::optional(plainDirectory(G::minolta));
    }
    if (startsWith(make, "NIKON")) return nikon(value, rest);
    if (startsWith(make, "OLYMPUS")) return olympus(value, rest);
    if (startsWith(make, "OM Digital")) {
        if (value.size() < 16 + 18) return std::nullopt;
        return withHeader(G::olympus2, omSystemHeader, rest);
    }
    if (startsWith(make, "Panasonic")) {
        if (value.size() < 12 + 14) return std::nullopt;
        return withHeader(G::panasonic, panasonicHeader, rest, false);
    }
    if (startsWith(make, "PENTAX") || startsWith(make, "RICOH")) return pentax(tag, value, rest);
    if (startsWith(make, "SAMSUNG")) return samsung(value, rest);
    if (startsWith(make, "SIGMA")) return sigma(value, rest);
    if (startsWith(make, "SONY")) return sony(value, rest);
    if (startsWith(make, "CASIO")) return casio(value, rest);
    return std::nullopt;
}

}  // namespace quillmere::metadata
