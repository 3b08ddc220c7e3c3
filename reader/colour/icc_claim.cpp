#include "reader/colour/icc_claim.h"

#include <algorithm>
#include <cstdint>

namespace quillmere {
namespace {

using Input = LinearSrgbTransform::Input;

// A profile's header is 128 bytes, then its tag count and a table of tags of 12 bytes each:
// signature, offset, size.
constexpr std::size_t kHeaderBytes = 128;
constexpr std::size_t kTagBytes = 12;

std::uint32_t bigEndian32(std::string_view bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t index = 0; index < 4; ++index) {
        value = value << 8 | static_cast<unsigned char>(bytes[at + index]);
    }
    return value;
}

std::string_view fourCharacters(std::string_view bytes, std::size_t at) {
    return bytes.substr(at, 4);
}

}  // namespace

IccConversion iccConversionOf(std::string_view profile, Input input) {
    if (profile.size() < kHeaderBytes + 4) return IccConversion::tables;
    const std::string_view space = fourCharacters(profile, 16);
    const bool cmyk = input == Input::cmyk || input == Input::invertedCmyk;
    const std::string_view expected = input == Input::gray ? "GRAY" : cmyk ? "CMYK" : "RGB ";
    // A profile of other pixels is not used: the pixels are taken as sRGB (or plain inks).
    if (space != expected) return IccConversion::tables;
    const std::string_view kind = fourCharacters(profile, 12);
    if (kind == "link" || kind == "abst" || kind == "nmcl") return IccConversion::perPixel;

    const std::size_t listed = bigEndian32(profile, kHeaderBytes);
    const std::size_t count = std::min(listed, (profile.size() - kHeaderBytes - 4) / kTagBytes);
    const auto has = [&](std::string_view signature) {
        for (std::size_t index = 0; index < count; ++index) {
            if (fourCharacters(profile, kHeaderBytes + 4 + index * kTagBytes) == signature) {
                return true;
            }
        }
        return false;
    };
    // LittleCMS prefers a lookup table where there is one.
    if (has("D2B0") || has("A2B0")) return IccConversion::perPixel;
    // CMYK has no matrix and curves.
    const bool matrixShaper =
        input == Input::gray ? has("kTRC")
                             : input == Input::rgb && has("rXYZ") && has("gXYZ") && has("bXYZ") &&
                                   has("rTRC") && has("gTRC") && has("bTRC");
    return matrixShaper ? IccConversion::tables : IccConversion::perPixel;
}

}  // namespace quillmere
